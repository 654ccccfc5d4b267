#pragma once

#include <array>

// The frames a pass is seen in: TEME (where SGP4 gives the satellite), the
// Earth-fixed frame (TEME turned by the sidereal time; polar motion left
// out), and the observer's horizon.

using Vector3 = std::array<double, 3>;

// A place on the WGS-84 ellipsoid: degrees north and east, metres above it.
struct GeodeticPosition {
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    double altitudeM = 0;
};

// Degrees: elevation above the horizon, azimuth clockwise from north (0 to 360).
struct LookAngles {
    double elevationDeg = 0;
    double azimuthDeg = 0;
};

Vector3 TemeToEarthFixed(const Vector3& teme, double gmst);

// An observer on the ground, with what every look from there needs worked
// out once.
class Observer {
public:
    explicit Observer(const GeodeticPosition& place);

    // The angles under which an Earth-fixed position (km) is seen.
    LookAngles Look(const Vector3& earthFixed) const;

private:
    Vector3 m_position{};
    double m_sinLat = 0, m_cosLat = 0, m_sinLon = 0, m_cosLon = 0;
};

// Degrees east, 0 to 360, of the point under an Earth-fixed position.
double EastLongitudeDeg(const Vector3& earthFixed);

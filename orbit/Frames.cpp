#include "orbit/Frames.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kRadToDeg = 180.0 / std::numbers::pi;
// WGS-84, for where the observer stands (the satellite's elements are WGS-72).
constexpr double kWgs84RadiusKm = 6378.137;
constexpr double kWgs84Flattening = 1.0 / 298.257223563;

double DegreesFromZeroTo360(double radians) {
    const double degrees = radians * kRadToDeg;
    return degrees < 0.0 ? degrees + 360.0 : degrees;
}

}  // namespace

Vector3 TemeToEarthFixed(const Vector3& teme, double gmst) {
    const double c = std::cos(gmst);
    const double s = std::sin(gmst);
    return {c * teme[0] + s * teme[1], -s * teme[0] + c * teme[1], teme[2]};
}

Observer::Observer(const GeodeticPosition& place) {
    const double lat = place.latitudeDeg * kDegToRad;
    const double lon = place.longitudeDeg * kDegToRad;
    m_sinLat = std::sin(lat);
    m_cosLat = std::cos(lat);
    m_sinLon = std::sin(lon);
    m_cosLon = std::cos(lon);
    const double e2 = kWgs84Flattening * (2.0 - kWgs84Flattening);
    const double n = kWgs84RadiusKm / std::sqrt(1.0 - e2 * m_sinLat * m_sinLat);
    const double h = place.altitudeM / 1000.0;
    m_position = {(n + h) * m_cosLat * m_cosLon, (n + h) * m_cosLat * m_sinLon,
                  (n * (1.0 - e2) + h) * m_sinLat};
}

LookAngles Observer::Look(const Vector3& earthFixed) const {
    const double dx = earthFixed[0] - m_position[0];
    const double dy = earthFixed[1] - m_position[1];
    const double dz = earthFixed[2] - m_position[2];
    const double east = -m_sinLon * dx + m_cosLon * dy;
    const double north = -m_sinLat * m_cosLon * dx - m_sinLat * m_sinLon * dy + m_cosLat * dz;
    const double up = m_cosLat * m_cosLon * dx + m_cosLat * m_sinLon * dy + m_sinLat * dz;
    return {std::atan2(up, std::hypot(east, north)) * kRadToDeg,
            DegreesFromZeroTo360(std::atan2(east, north))};
}

double EastLongitudeDeg(const Vector3& earthFixed) {
    return DegreesFromZeroTo360(std::atan2(earthFixed[1], earthFixed[0]));
}

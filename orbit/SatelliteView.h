#pragma once

#include <stdexcept>

#include "orbit/Frames.h"
#include "orbit/Sgp4.h"

// The propagator gave up on the satellite (a decayed orbit and the like):
// nothing it gives from then on may be used.
class PropagationFailure : public std::runtime_error {
public:
    explicit PropagationFailure(Sgp4Error error);
    Sgp4Error Error() const { return m_error; }

private:
    Sgp4Error m_error;
};

// Where the satellite is at a moment given in seconds since 1970 (UTC).
struct SatelliteFix {
    LookAngles look;
    // Degrees east, 0 to 360, of the point below it.
    double longitudeDeg = 0;
    // Heading north (latitude growing) rather than south.
    bool northbound = false;
};

// One satellite seen from one place. Throws PropagationFailure.
class SatelliteView {
public:
    SatelliteView(const Sgp4& satellite, const Observer& observer)
        : m_satellite(satellite), m_observer(observer) {}

    LookAngles LookAt(double unixSeconds) const;
    SatelliteFix FixAt(double unixSeconds) const;

    double PeriodSeconds() const { return m_satellite.PeriodMinutes() * 60.0; }

private:
    struct EarthFixed {
        Vector3 position;
        bool northbound;
    };
    EarthFixed PositionAt(double unixSeconds) const;

    Sgp4 m_satellite;
    Observer m_observer;
};

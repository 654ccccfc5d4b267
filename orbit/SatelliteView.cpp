#include "orbit/SatelliteView.h"

#include <string>

#include "orbit/SiderealTime.h"

PropagationFailure::PropagationFailure(Sgp4Error error)
    : std::runtime_error(std::string(Sgp4ErrorText(error))), m_error(error) {}

SatelliteView::EarthFixed SatelliteView::PositionAt(double unixSeconds) const {
    const JulianDate when = JulianDateFromUnix(unixSeconds);
    const Sgp4Result result =
        m_satellite.Propagate(when.DaysSince(m_satellite.Epoch()) * kMinutesPerDay);
    if (result.error != Sgp4Error::None) {
        throw PropagationFailure(result.error);
    }
    return {TemeToEarthFixed(result.state.r, GreenwichMeanSiderealTime(when)),
            result.state.v[2] > 0.0};
}

LookAngles SatelliteView::LookAt(double unixSeconds) const {
    return m_observer.Look(PositionAt(unixSeconds).position);
}

SatelliteFix SatelliteView::FixAt(double unixSeconds) const {
    const EarthFixed fixed = PositionAt(unixSeconds);
    return {m_observer.Look(fixed.position), EastLongitudeDeg(fixed.position), fixed.northbound};
}

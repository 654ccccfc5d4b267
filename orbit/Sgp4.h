#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "orbit/ElementSet.h"

// Near-Earth SGP4 (periods under 225 minutes) with the WGS-72 constants the
// element sets are fitted with, after Hoots and Roehrich's Spacetrack
// Report #3 as revised by Vallado, Crawford, Hujsak and Kelso (2006). The
// variable names are those of the published equations.

// The propagator's own error states, numbered as the revision numbers them.
enum class Sgp4Error {
    None = 0,
    // Mean eccentricity out of [-0.001, 1).
    MeanElements = 1,
    SemiLatusRectumNegative = 4,
    // The orbit's radius came under the Earth's: the satellite has decayed.
    Decayed = 6,
};

std::string_view Sgp4ErrorText(Sgp4Error error);

// Position (km) and velocity (km/s) in the TEME frame.
struct TemeState {
    std::array<double, 3> r{};
    std::array<double, 3> v{};
};

struct Sgp4Result {
    Sgp4Error error = Sgp4Error::None;
    TemeState state;
};

class Sgp4 {
public:
    // Periods of this many minutes and more need the deep-space terms.
    static constexpr double kDeepSpacePeriodMinutes = 225.0;

    // nullopt when the set is not near-Earth; `period` receives its period
    // in minutes either way.
    static std::optional<Sgp4> Initialise(const ElementSet& set, double& periodMinutes);

    // The state `tsince` minutes after the epoch.
    Sgp4Result Propagate(double tsince) const;

    const JulianDate& Epoch() const { return m_epoch; }
    double PeriodMinutes() const;
    // The error the propagation at the epoch gave (None for a usable set).
    Sgp4Error InitialError() const { return m_initialError; }

private:
    Sgp4() = default;

    JulianDate m_epoch;
    Sgp4Error m_initialError = Sgp4Error::None;
    // Mean elements at epoch (radians, radians per minute).
    double bstar = 0, inclo = 0, nodeo = 0, ecco = 0, argpo = 0, mo = 0, no_unkozai = 0;
    // Secular rates and the drag and short-period coefficients.
    bool isimp = false;
    double mdot = 0, argpdot = 0, nodedot = 0, nodecf = 0;
    double cc1 = 0, cc4 = 0, cc5 = 0, t2cof = 0, t3cof = 0, t4cof = 0, t5cof = 0;
    double d2 = 0, d3 = 0, d4 = 0;
    double omgcof = 0, xmcof = 0, eta = 0, delmo = 0, sinmao = 0;
    double aycof = 0, xlcof = 0, con41 = 0, x1mth2 = 0, x7thm1 = 0;
};

#include "orbit/PassSearch.h"

#include <cmath>

namespace {

// Samples per orbit: each high of the elevation, which comes once an
// orbit, spans many of them.
constexpr double kSamplesPerOrbit = 30.0;
// Golden-section search stops at this width (seconds); the elevation is
// flat at its high, so this is far finer than the angle needs.
constexpr double kPeakResolution = 1.0;
// Rise and set are found to this many seconds.
constexpr double kPassTimeResolution = 0.1;

struct Sample {
    double time;
    double height;  // degrees above the pass's horizon
};

class HeightAboveHorizon {
public:
    HeightAboveHorizon(const SatelliteView& view, double horizonDeg)
        : m_view(view), m_horizonDeg(horizonDeg) {}
    double operator()(double time) const { return m_view.LookAt(time).elevationDeg - m_horizonDeg; }

private:
    const SatelliteView& m_view;
    double m_horizonDeg;
};

// The time of the highest point of a function that has one high in [a, b].
Sample FindHigh(const HeightAboveHorizon& height, double a, double b) {
    const double inverseGolden = (std::sqrt(5.0) - 1.0) / 2.0;
    double c = b - inverseGolden * (b - a);
    double d = a + inverseGolden * (b - a);
    double hc = height(c);
    double hd = height(d);
    while (b - a > kPeakResolution) {
        if (hc > hd) {
            b = d;
            d = c;
            hd = hc;
            c = b - inverseGolden * (b - a);
            hc = height(c);
        } else {
            a = c;
            c = d;
            hc = hd;
            d = a + inverseGolden * (b - a);
            hd = height(d);
        }
    }
    return hc > hd ? Sample{c, hc} : Sample{d, hd};
}

// The crossing of the horizon between `below` (under it) and `above`.
double FindCrossing(const HeightAboveHorizon& height, double below, double above) {
    while (std::fabs(above - below) > kPassTimeResolution) {
        const double middle = (below + above) / 2.0;
        (height(middle) < 0.0 ? below : above) = middle;
    }
    return (below + above) / 2.0;
}

// Steps from the high at `peak` by `step` until the satellite is below the
// horizon (at most an orbit away), then finds the crossing.
double FindHorizon(const HeightAboveHorizon& height, double peak, double step, double limit) {
    double inside = peak;
    for (double travelled = 0.0; travelled < limit; travelled += std::fabs(step)) {
        const double next = inside + step;
        if (height(next) < 0.0) {
            return FindCrossing(height, next, inside);
        }
        inside = next;
    }
    return inside;
}

}  // namespace

std::vector<Pass> FindPasses(const SatelliteView& view, const PassWindow& window) {
    const HeightAboveHorizon height(view, window.horizonDeg);
    const double period = view.PeriodSeconds();
    const double step = period / kSamplesPerOrbit;

    // An orbit's margin on each side holds the highs of the passes that
    // reach into the window from outside it.
    std::vector<Sample> samples;
    for (double time = window.start - period; time <= window.end + period + step; time += step) {
        samples.push_back({time, height(time)});
    }

    std::vector<Pass> passes;
    for (std::size_t i = 1; i + 1 < samples.size(); ++i) {
        if (!(samples[i].height > samples[i - 1].height &&
              samples[i].height >= samples[i + 1].height)) {
            continue;
        }
        const Sample high = FindHigh(height, samples[i - 1].time, samples[i + 1].time);
        if (high.height < 0.0) {
            continue;
        }
        Pass pass;
        pass.rise = FindHorizon(height, high.time, -step, period);
        pass.set = FindHorizon(height, high.time, step, period);
        if (pass.set <= window.start || pass.rise >= window.end) {
            continue;
        }
        const LookAngles peak = view.LookAt(high.time);
        pass.peakTime = high.time;
        pass.peakElevationDeg = peak.elevationDeg;
        pass.peakAzimuthDeg = peak.azimuthDeg;
        // An eccentric orbit can dip during one pass: its two highs are
        // one pass.
        if (!passes.empty() && std::fabs(passes.back().rise - pass.rise) < 1.0) {
            if (pass.peakElevationDeg > passes.back().peakElevationDeg) {
                passes.back() = pass;
            }
            continue;
        }
        passes.push_back(pass);
    }
    return passes;
}

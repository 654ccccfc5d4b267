#include "orbit/Sgp4.h"

#include <cmath>
#include <numbers>

namespace {

// WGS-72, in Earth radii and minutes as the model works.
constexpr double kMu = 398600.8;             // km^3/s^2
constexpr double kRadiusEarthKm = 6378.135;  // km
constexpr double kJ2 = 0.001082616;
constexpr double kJ3 = -0.00000253881;
constexpr double kJ4 = -0.00000165597;
constexpr double kJ3oJ2 = kJ3 / kJ2;
const double kXke = 60.0 / std::sqrt(kRadiusEarthKm * kRadiusEarthKm * kRadiusEarthKm / kMu);
const double kVkmPerSec = kRadiusEarthKm * kXke / 60.0;

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kX2o3 = 2.0 / 3.0;
constexpr double kTemp4 = 1.5e-12;

}  // namespace

std::string_view Sgp4ErrorText(Sgp4Error error) {
    switch (error) {
        case Sgp4Error::None:
            return "no error";
        case Sgp4Error::MeanElements:
            return "its mean eccentricity left the range of an orbit";
        case Sgp4Error::SemiLatusRectumNegative:
            return "its semi-latus rectum became negative";
        case Sgp4Error::Decayed:
            return "it has decayed (its orbit came below the Earth's surface)";
    }
    return "an unknown error";
}

std::optional<Sgp4> Sgp4::Initialise(const ElementSet& set, double& periodMinutes) {
    Sgp4 s;
    s.m_epoch = set.epoch;
    s.bstar = set.bstar;
    s.inclo = set.inclinationDeg * kDegToRad;
    s.nodeo = set.rightAscensionDeg * kDegToRad;
    s.ecco = set.eccentricity;
    s.argpo = set.argumentOfPerigeeDeg * kDegToRad;
    s.mo = set.meanAnomalyDeg * kDegToRad;
    const double no_kozai = set.meanMotionRevPerDay * kTwoPi / kMinutesPerDay;

    // Recover the original mean motion and semi-major axis from the Kozai
    // mean motion the set carries.
    const double eccsq = s.ecco * s.ecco;
    const double omeosq = 1.0 - eccsq;
    const double rteosq = std::sqrt(omeosq);
    const double cosio = std::cos(s.inclo);
    const double cosio2 = cosio * cosio;
    const double ak = std::pow(kXke / no_kozai, kX2o3);
    const double d1 = 0.75 * kJ2 * (3.0 * cosio2 - 1.0) / (rteosq * omeosq);
    double del = d1 / (ak * ak);
    const double adel = ak * (1.0 - del * del - del * (1.0 / 3.0 + 134.0 * del * del / 81.0));
    del = d1 / (adel * adel);
    s.no_unkozai = no_kozai / (1.0 + del);

    periodMinutes = kTwoPi / s.no_unkozai;
    if (!(s.no_unkozai > 0.0) || periodMinutes >= kDeepSpacePeriodMinutes) {
        return std::nullopt;
    }

    const double ao = std::pow(kXke / s.no_unkozai, kX2o3);
    const double sinio = std::sin(s.inclo);
    const double po = ao * omeosq;
    const double con42 = 1.0 - 5.0 * cosio2;
    s.con41 = -con42 - cosio2 - cosio2;
    const double posq = po * po;
    const double rp = ao * (1.0 - s.ecco);

    // Drag: the atmosphere's density parameter s and (q0 - s)^4, adjusted
    // for perigees below 156 km.
    const double ss = 78.0 / kRadiusEarthKm + 1.0;
    const double qzms2t = std::pow((120.0 - 78.0) / kRadiusEarthKm, 4);
    s.isimp = rp < 220.0 / kRadiusEarthKm + 1.0;
    double sfour = ss;
    double qzms24 = qzms2t;
    const double perige = (rp - 1.0) * kRadiusEarthKm;
    if (perige < 156.0) {
        sfour = perige < 98.0 ? 20.0 : perige - 78.0;
        qzms24 = std::pow((120.0 - sfour) / kRadiusEarthKm, 4);
        sfour = sfour / kRadiusEarthKm + 1.0;
    }
    const double pinvsq = 1.0 / posq;
    const double tsi = 1.0 / (ao - sfour);
    s.eta = ao * s.ecco * tsi;
    const double etasq = s.eta * s.eta;
    const double eeta = s.ecco * s.eta;
    const double psisq = std::fabs(1.0 - etasq);
    const double coef = qzms24 * std::pow(tsi, 4);
    const double coef1 = coef / std::pow(psisq, 3.5);
    const double cc2 = coef1 * s.no_unkozai *
                       (ao * (1.0 + 1.5 * etasq + eeta * (4.0 + etasq)) +
                        0.375 * kJ2 * tsi / psisq * s.con41 * (8.0 + 3.0 * etasq * (8.0 + etasq)));
    s.cc1 = s.bstar * cc2;
    const double cc3 =
        s.ecco > 1.0e-4 ? -2.0 * coef * tsi * kJ3oJ2 * s.no_unkozai * sinio / s.ecco : 0.0;
    s.x1mth2 = 1.0 - cosio2;
    s.cc4 =
        2.0 * s.no_unkozai * coef1 * ao * omeosq *
        (s.eta * (2.0 + 0.5 * etasq) + s.ecco * (0.5 + 2.0 * etasq) -
         kJ2 * tsi / (ao * psisq) *
             (-3.0 * s.con41 * (1.0 - 2.0 * eeta + etasq * (1.5 - 0.5 * eeta)) +
              0.75 * s.x1mth2 * (2.0 * etasq - eeta * (1.0 + etasq)) * std::cos(2.0 * s.argpo)));
    s.cc5 = 2.0 * coef1 * ao * omeosq * (1.0 + 2.75 * (etasq + eeta) + eeta * etasq);

    // Secular rates of the mean anomaly, the argument of perigee and the node.
    const double cosio4 = cosio2 * cosio2;
    const double temp1 = 1.5 * kJ2 * pinvsq * s.no_unkozai;
    const double temp2 = 0.5 * temp1 * kJ2 * pinvsq;
    const double temp3 = -0.46875 * kJ4 * pinvsq * pinvsq * s.no_unkozai;
    s.mdot = s.no_unkozai + 0.5 * temp1 * rteosq * s.con41 +
             0.0625 * temp2 * rteosq * (13.0 - 78.0 * cosio2 + 137.0 * cosio4);
    s.argpdot = -0.5 * temp1 * con42 + 0.0625 * temp2 * (7.0 - 114.0 * cosio2 + 395.0 * cosio4) +
                temp3 * (3.0 - 36.0 * cosio2 + 49.0 * cosio4);
    const double xhdot1 = -temp1 * cosio;
    s.nodedot =
        xhdot1 + (0.5 * temp2 * (4.0 - 19.0 * cosio2) + 2.0 * temp3 * (3.0 - 7.0 * cosio2)) * cosio;
    s.omgcof = s.bstar * cc3 * std::cos(s.argpo);
    s.xmcof = s.ecco > 1.0e-4 ? -kX2o3 * coef * s.bstar / eeta : 0.0;
    s.nodecf = 3.5 * omeosq * xhdot1 * s.cc1;
    s.t2cof = 1.5 * s.cc1;
    // The long-period term divides by 1 + cos i, which vanishes at 180 degrees.
    const double onePlusCosio = std::fabs(cosio + 1.0) > 1.5e-12 ? 1.0 + cosio : kTemp4;
    s.xlcof = -0.25 * kJ3oJ2 * sinio * (3.0 + 5.0 * cosio) / onePlusCosio;
    s.aycof = -0.5 * kJ3oJ2 * sinio;
    const double delmotemp = 1.0 + s.eta * std::cos(s.mo);
    s.delmo = delmotemp * delmotemp * delmotemp;
    s.sinmao = std::sin(s.mo);
    s.x7thm1 = 7.0 * cosio2 - 1.0;

    // Perigees under 220 km keep only the first drag terms.
    if (!s.isimp) {
        const double cc1sq = s.cc1 * s.cc1;
        s.d2 = 4.0 * ao * tsi * cc1sq;
        const double temp = s.d2 * tsi * s.cc1 / 3.0;
        s.d3 = (17.0 * ao + sfour) * temp;
        s.d4 = 0.5 * temp * ao * tsi * (221.0 * ao + 31.0 * sfour) * s.cc1;
        s.t3cof = s.d2 + 2.0 * cc1sq;
        s.t4cof = 0.25 * (3.0 * s.d3 + s.cc1 * (12.0 * s.d2 + 10.0 * cc1sq));
        s.t5cof = 0.2 * (3.0 * s.d4 + 12.0 * s.cc1 * s.d3 + 6.0 * s.d2 * s.d2 +
                         15.0 * cc1sq * (2.0 * s.d2 + cc1sq));
    }
    s.m_initialError = s.Propagate(0.0).error;
    return s;
}

double Sgp4::PeriodMinutes() const {
    return kTwoPi / no_unkozai;
}

Sgp4Result Sgp4::Propagate(double tsince) const {
    const double t = tsince;
    Sgp4Result result;

    // Secular gravity and atmospheric drag.
    const double xmdf = mo + mdot * t;
    const double argpdf = argpo + argpdot * t;
    const double nodedf = nodeo + nodedot * t;
    double argpm = argpdf;
    double mm = xmdf;
    const double t2 = t * t;
    double nodem = nodedf + nodecf * t2;
    double tempa = 1.0 - cc1 * t;
    double tempe = bstar * cc4 * t;
    double templ = t2cof * t2;
    if (!isimp) {
        const double delomg = omgcof * t;
        const double delmtemp = 1.0 + eta * std::cos(xmdf);
        const double delm = xmcof * (delmtemp * delmtemp * delmtemp - delmo);
        const double temp = delomg + delm;
        mm = xmdf + temp;
        argpm = argpdf - temp;
        const double t3 = t2 * t;
        const double t4 = t3 * t;
        tempa = tempa - d2 * t2 - d3 * t3 - d4 * t4;
        tempe = tempe + bstar * cc5 * (std::sin(mm) - sinmao);
        templ = templ + t3cof * t3 + t4 * (t4cof + t * t5cof);
    }

    double nm = no_unkozai;
    double em = ecco;
    const double am = std::pow(kXke / nm, kX2o3) * tempa * tempa;
    nm = kXke / std::pow(am, 1.5);
    em = em - tempe;
    if (em >= 1.0 || em < -0.001) {
        result.error = Sgp4Error::MeanElements;
        return result;
    }
    // A vanishing eccentricity would make the perigee undefined.
    if (em < 1.0e-6) {
        em = 1.0e-6;
    }
    mm = mm + no_unkozai * templ;
    double xlm = mm + argpm + nodem;
    nodem = std::fmod(nodem, kTwoPi);
    argpm = std::fmod(argpm, kTwoPi);
    xlm = std::fmod(xlm, kTwoPi);
    mm = std::fmod(xlm - argpm - nodem, kTwoPi);

    const double sinip = std::sin(inclo);
    const double cosip = std::cos(inclo);

    // Long-period periodics.
    const double ep = em;
    const double axnl = ep * std::cos(argpm);
    double temp = 1.0 / (am * (1.0 - ep * ep));
    const double aynl = ep * std::sin(argpm) + temp * aycof;
    const double xl = mm + argpm + nodem + temp * xlcof * axnl;

    // Kepler's equation, with the step limited as the revision limits it.
    const double u = std::fmod(xl - nodem, kTwoPi);
    double eo1 = u;
    double tem5 = 9999.9;
    double sineo1 = 0.0;
    double coseo1 = 0.0;
    for (int ktr = 1; std::fabs(tem5) >= 1.0e-12 && ktr <= 10; ++ktr) {
        sineo1 = std::sin(eo1);
        coseo1 = std::cos(eo1);
        tem5 = 1.0 - coseo1 * axnl - sineo1 * aynl;
        tem5 = (u - aynl * coseo1 + axnl * sineo1 - eo1) / tem5;
        if (std::fabs(tem5) >= 0.95) {
            tem5 = tem5 > 0.0 ? 0.95 : -0.95;
        }
        eo1 = eo1 + tem5;
    }

    // Short-period preliminary quantities.
    const double ecose = axnl * coseo1 + aynl * sineo1;
    const double esine = axnl * sineo1 - aynl * coseo1;
    const double el2 = axnl * axnl + aynl * aynl;
    const double pl = am * (1.0 - el2);
    if (pl < 0.0) {
        result.error = Sgp4Error::SemiLatusRectumNegative;
        return result;
    }
    const double rl = am * (1.0 - ecose);
    const double rdotl = std::sqrt(am) * esine / rl;
    const double rvdotl = std::sqrt(pl) / rl;
    const double betal = std::sqrt(1.0 - el2);
    temp = esine / (1.0 + betal);
    const double sinu = am / rl * (sineo1 - aynl - axnl * temp);
    const double cosu = am / rl * (coseo1 - axnl + aynl * temp);
    double su = std::atan2(sinu, cosu);
    const double sin2u = (cosu + cosu) * sinu;
    const double cos2u = 1.0 - 2.0 * sinu * sinu;
    temp = 1.0 / pl;
    const double temp1 = 0.5 * kJ2 * temp;
    const double temp2 = temp1 * temp;

    // Short-period periodics.
    const double mrt = rl * (1.0 - 1.5 * temp2 * betal * con41) + 0.5 * temp1 * x1mth2 * cos2u;
    su = su - 0.25 * temp2 * x7thm1 * sin2u;
    const double xnode = nodem + 1.5 * temp2 * cosip * sin2u;
    const double xinc = inclo + 1.5 * temp2 * cosip * sinip * cos2u;
    const double mvt = rdotl - nm * temp1 * x1mth2 * sin2u / kXke;
    const double rvdot = rvdotl + nm * temp1 * (x1mth2 * cos2u + 1.5 * con41) / kXke;

    // Orientation vectors, then position and velocity.
    const double sinsu = std::sin(su);
    const double cossu = std::cos(su);
    const double snod = std::sin(xnode);
    const double cnod = std::cos(xnode);
    const double sini = std::sin(xinc);
    const double cosi = std::cos(xinc);
    const double xmx = -snod * cosi;
    const double xmy = cnod * cosi;
    const std::array<double, 3> uv{xmx * sinsu + cnod * cossu, xmy * sinsu + snod * cossu,
                                   sini * sinsu};
    const std::array<double, 3> vv{xmx * cossu - cnod * sinsu, xmy * cossu - snod * sinsu,
                                   sini * cossu};
    for (std::size_t i = 0; i < 3; ++i) {
        result.state.r[i] = mrt * uv[i] * kRadiusEarthKm;
        result.state.v[i] = (mvt * uv[i] + rvdot * vv[i]) * kVkmPerSec;
    }
    if (mrt < 1.0) {
        result.error = Sgp4Error::Decayed;
    }
    return result;
}

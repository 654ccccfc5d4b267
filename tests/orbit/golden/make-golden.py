#!/usr/bin/python3
"""Makes ../data/skyfield-passes.txt: the passes Debian's python3-skyfield finds for
each element set of ../data/weather-2026.txt at four stations, over three
days around the set's epoch, without refraction. Run once; the tests read
the file and need no Python.

    /usr/bin/python3 tests/orbit/golden/make-golden.py > tests/orbit/data/skyfield-passes.txt
"""
import datetime
import os

from skyfield.api import EarthSatellite, load, wgs84

STATIONS = [(52.0, 5.0), (0.0, 0.0), (78.0, 15.0), (-34.0, 151.0)]
HALF_WINDOW_DAYS = 1.5
# Passes that reach into the window from outside it are found whole.
MARGIN_DAYS = 0.1


def element_sets(path):
    with open(path) as lines:
        rows = [line.rstrip() for line in lines if line.strip()]
    return [(rows[i], rows[i + 1], rows[i + 2]) for i in range(0, len(rows), 3)]


def altitude(satellite, station, seconds, ts):
    return (satellite - station).at(ts.from_datetime(_utc(seconds))).altaz()[0].degrees


def crossing(satellite, station, time, ts):
    """The horizon crossing near `time`, to a millisecond: find_events itself
    stops searching when it is within about a second."""
    seconds = time.utc_datetime().timestamp()
    low, high = seconds - 10.0, seconds + 10.0
    rising = altitude(satellite, station, high, ts) > altitude(satellite, station, low, ts)
    while high - low > 0.001:
        middle = (low + high) / 2.0
        if (altitude(satellite, station, middle, ts) < 0.0) == rising:
            low = middle
        else:
            high = middle
    return (low + high) / 2.0


def passes(satellite, station, t0, t1, ts):
    times, events = satellite.find_events(station, ts.tt_jd(t0.tt - MARGIN_DAYS),
                                          ts.tt_jd(t1.tt + MARGIN_DAYS), altitude_degrees=0.0)
    found, rise, highest = [], None, None
    for time, event in zip(times, events):
        if event == 0:
            rise, highest = time, None
        elif event == 1 and rise is not None:
            altitude = (satellite - station).at(time).altaz()[0].degrees
            highest = altitude if highest is None else max(highest, altitude)
        elif event == 2 and rise is not None and highest is not None:
            if time.tt > t0.tt and rise.tt < t1.tt:
                found.append((crossing(satellite, station, rise, ts),
                              crossing(satellite, station, time, ts), highest))
            rise = None
    return found


def main():
    ts = load.timescale(builtin=True)
    here = os.path.dirname(os.path.abspath(__file__))
    print("# window NAME LATITUDE LONGITUDE START END, then pass RISE SET HIGHEST:")
    print("# seconds since 1970 (UTC), degrees; made by make-golden.py with skyfield")
    for name, line1, line2 in element_sets(os.path.join(here, "..", "data", "weather-2026.txt")):
        satellite = EarthSatellite(line1, line2, name, ts)
        epoch = round(satellite.epoch.utc_datetime().timestamp())
        start, end = epoch - HALF_WINDOW_DAYS * 86400, epoch + HALF_WINDOW_DAYS * 86400
        t0, t1 = ts.from_datetime(_utc(start)), ts.from_datetime(_utc(end))
        for latitude, longitude in STATIONS:
            print(f"window {name.replace(' ', '_')} {latitude} {longitude} {start:.0f} {end:.0f}")
            for rise, set_, highest in passes(satellite, wgs84.latlon(latitude, longitude),
                                              t0, t1, ts):
                print(f"pass {rise:.3f} {set_:.3f} {highest:.4f}")


def _utc(seconds):
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc)


if __name__ == "__main__":
    main()

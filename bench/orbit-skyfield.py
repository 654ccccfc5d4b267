#!/usr/bin/python3
"""The work of bench_orbit in skyfield: seven days of passes (rise, highest
point, set; horizon 0) of each element set of FILE over 52N 5E from
2026-03-26 00:00 UTC. Prints "skyfield: MS ms, N passes", the best of three.

    /usr/bin/python3 bench/orbit-skyfield.py FILE
"""
import sys
import time

try:
    from skyfield.api import EarthSatellite, load, wgs84
except ImportError:
    sys.exit(0)


def main():
    with open(sys.argv[1]) as lines:
        rows = [line.rstrip() for line in lines if line.strip()]
    ts = load.timescale(builtin=True)
    station = wgs84.latlon(52.0, 5.0)
    t0, t1 = ts.utc(2026, 3, 26), ts.utc(2026, 4, 2)
    best, passes = None, 0
    for _ in range(3):
        begun = time.perf_counter()
        passes = 0
        for i in range(0, len(rows), 3):
            satellite = EarthSatellite(rows[i + 1], rows[i + 2], rows[i], ts)
            _, events = satellite.find_events(station, t0, t1, altitude_degrees=0.0)
            passes += int((events == 0).sum())
        took = (time.perf_counter() - begun) * 1000.0
        best = took if best is None else min(best, took)
    print(f"skyfield: {best:.1f} ms, {passes} passes")


if __name__ == "__main__":
    main()

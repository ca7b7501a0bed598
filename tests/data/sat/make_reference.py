#!/usr/bin/python3
"""Writes the element sets of the prediction tests (elements.tle) and reference positions
computed from them with SGP4/SDP4 (reference.csv), for tests/sat/.

Run from anywhere with the Debian package python3-sgp4 installed:
    /usr/bin/python3 tests/data/sat/make_reference.py

Each reference row: satellite number, time (seconds since 1970, UTC), hours from the set's
epoch, geocentric latitude and east longitude of the sub-satellite point (degrees), distance
from the Earth's centre (km), and for the observer below: elevation (degrees) and range (km).
SGP4 gives positions in the TEME frame; they are turned to Earth-fixed coordinates with the
Greenwich mean sidereal time of SGP4's own gstime. The observer sits on the WGS-84 ellipsoid.
"""
import math
import os
from datetime import datetime, timezone

from sgp4.api import Satrec, WGS72
from sgp4.propagation import gstime

HERE = os.path.dirname(os.path.abspath(__file__))

# Observer: 49 deg 36' N, 11 deg 00' E, 300 m (whole arc minutes, as map coordinates are).
OBS_LAT, OBS_LON, OBS_HEIGHT = 49.6, 11.0, 300.0

# name, line 1 and line 2 without their check digits (columns 1-68).
SETS = [
    ("ISS (ZARYA)",
     "1 25544U 98067A   26335.51782528  .00012745  00000-0  22718-3 0  999",
     "2 25544  51.6393 211.8837 0006872  98.4407 261.7404 15.5013531248721"),
    ("NOAA 19",
     "1 33591U 09005A   26335.20911457  .00000061  00000-0  57312-4 0  999",
     "2 33591  99.0416  28.7155 0013591 231.0972 128.8988 14.1304729691955"),
    ("MOLNIYA 1-93",
     "1 28163U 04005A   26334.88734117  .00000092  00000-0  00000+0 0  999",
     "2 28163  63.1532 106.2419 7184307 271.9381  15.5502  2.0061253416703"),
    ("SO-50",
     "1 27607U 02058C   26335.64178240  .00000587  00000-0  83421-4 0  999",
     "2 27607  64.5562 142.6291 0079611 102.4217 258.5731 14.7933152628893"),
]

# Sample times: from one day before the epoch to five days after, every 30 minutes.
HOURS = [h * 0.5 for h in range(-48, 5 * 48 + 1)]


def check_digit(line):
    total = 0
    for c in line[:68]:
        if c.isdigit():
            total += int(c)
        elif c == '-':
            total += 1
        elif c == '+':
            total += 2
    return str(total % 10)


def observer_ecef():
    a, f = 6378.137, 1.0 / 298.257223563
    e2 = f * (2 - f)
    lat, lon = math.radians(OBS_LAT), math.radians(OBS_LON)
    n = a / math.sqrt(1 - e2 * math.sin(lat) ** 2)
    h = OBS_HEIGHT / 1000.0
    return ((n + h) * math.cos(lat) * math.cos(lon), (n + h) * math.cos(lat) * math.sin(lon),
            (n * (1 - e2) + h) * math.sin(lat)), lat, lon


def main():
    lines = []
    for name, l1, l2 in SETS:
        assert len(l1) == 68 and len(l2) == 68, name
        lines += [name, l1 + check_digit(l1), l2 + check_digit(l2)]
    with open(os.path.join(HERE, "elements.tle"), "w") as f:
        f.write("\n".join(lines) + "\n")

    site, lat, lon = observer_ecef()
    rows = ["number,unix,hours,latitude,longitude,radius,elevation,range"]
    for i in range(0, len(lines), 3):
        sat = Satrec.twoline2rv(lines[i + 1], lines[i + 2], WGS72)
        epoch_jd = sat.jdsatepoch + sat.jdsatepochF
        for hours in HOURS:
            jd = epoch_jd + hours / 24.0
            whole = math.floor(jd - 0.5) + 0.5
            err, r, _ = sat.sgp4(whole, jd - whole)
            if err:
                raise SystemExit("sgp4 error %d for %s" % (err, lines[i]))
            g = gstime(jd)
            x = r[0] * math.cos(g) + r[1] * math.sin(g)
            y = -r[0] * math.sin(g) + r[1] * math.cos(g)
            z = r[2]
            radius = math.sqrt(x * x + y * y + z * z)
            glat = math.degrees(math.atan2(z, math.hypot(x, y)))
            glon = math.degrees(math.atan2(y, x))
            d = (x - site[0], y - site[1], z - site[2])
            up = (math.cos(lat) * math.cos(lon), math.cos(lat) * math.sin(lon), math.sin(lat))
            rng = math.sqrt(sum(c * c for c in d))
            el = math.degrees(math.asin(sum(d[k] * up[k] for k in range(3)) / rng))
            unix = (jd - 2440587.5) * 86400.0
            rows.append("%d,%.3f,%.1f,%.5f,%.5f,%.3f,%.4f,%.3f" %
                        (sat.satnum, unix, hours, glat, glon, radius, el, rng))
    with open(os.path.join(HERE, "reference.csv"), "w") as f:
        f.write("\n".join(rows) + "\n")
    print("wrote %d element sets and %d reference rows" % (len(SETS), len(rows) - 1))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Builds data/synop/stations.csv, the station list behind the SYNOP station store.

Inputs (Debian packages, unpacked with dpkg -x into one folder given as the argument):
  metview-data   usr/share/metview/etc/stations-i.db   WMO index, name, position, altitude
                 (GNU dbm file, ECMWF, Apache-2.0)
  weather-util-data  usr/share/weather-util/stations.gz  ICAO identifiers with position and
                 country (ISC, built from NOAA's public-domain station lists)
A WMO station takes the ICAO identifier of a weather-util station less than 4 km away and the
country of the nearest weather-util station (within 400 km); the WMO region follows from the
block number. Run:  python3 make_stations.py /tmp/unpacked > stations.csv
"""
import ctypes, gzip, math, re, struct, sys

root = sys.argv[1]


class Datum(ctypes.Structure):
    _fields_ = [('dptr', ctypes.c_void_p), ('dsize', ctypes.c_int)]


# Stations whose nearest weather-util neighbour lies across a border.
COUNTRY_FIXES = {
    78310: 'Cuba',  # Cabo San Antonio, the western tip of Cuba (nearest listed: Cancun)
}


def read_gdbm(path):
    g = ctypes.CDLL('libgdbm.so.6')
    g.gdbm_open.restype = ctypes.c_void_p
    g.gdbm_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_void_p]
    g.gdbm_firstkey.restype = Datum
    g.gdbm_firstkey.argtypes = [ctypes.c_void_p]
    g.gdbm_nextkey.restype = Datum
    g.gdbm_nextkey.argtypes = [ctypes.c_void_p, Datum]
    g.gdbm_fetch.restype = Datum
    g.gdbm_fetch.argtypes = [ctypes.c_void_p, Datum]
    db = g.gdbm_open(path.encode(), 0, 0, 0, None)
    if not db:
        sys.exit('cannot open ' + path)
    key = g.gdbm_firstkey(db)
    while key.dptr:
        val = g.gdbm_fetch(db, key)
        yield ctypes.string_at(val.dptr, val.dsize)
        key = g.gdbm_nextkey(db, key)


def wmo_region(index):
    block = index // 1000
    table = [(1, 19, 6), (20, 25, 2), (26, 27, 6), (28, 32, 2), (33, 34, 6), (35, 36, 2),
             (37, 37, 6), (38, 59, 2), (60, 69, 1), (70, 79, 4), (80, 88, 3), (89, 89, 7),
             (90, 98, 5)]
    for lo, hi, region in table:
        if lo <= block <= hi:
            return region
    return 0


def distance_km(a, b):
    la1, lo1, la2, lo2 = map(math.radians, (a[0], a[1], b[0], b[1]))
    h = math.sin((la2 - la1) / 2) ** 2 + math.cos(la1) * math.cos(la2) * math.sin((lo2 - lo1) / 2) ** 2
    return 12742.0 * math.asin(min(1.0, math.sqrt(h)))


# weather-util: [icao] / description = Name, Country / location = (lat, lon) in radians
refs = []
with gzip.open(root + '/usr/share/weather-util/stations.gz', 'rt', encoding='utf-8') as f:
    icao = desc = None
    for line in f:
        m = re.match(r'\[(\w{4})\]', line)
        if m:
            icao, desc = m.group(1).upper(), None
        elif line.startswith('description = '):
            desc = line[14:].strip()
        elif line.startswith('location = (') and icao and desc:
            lat, lon = (math.degrees(float(v)) for v in line[12:].strip(' )\n').split(','))
            country = desc.rsplit(', ', 1)[-1] if ', ' in desc else ''
            if desc.startswith('unknown station') or len(country) <= 3:
                country = ''
            refs.append((lat, lon, icao, country))

grid = {}
for r in refs:
    grid.setdefault((int(r[0] // 2), int(r[1] // 2)), []).append(r)


def nearest(lat, lon, with_country):
    best, best_d = None, 1e9
    for ring in range(0, 5):
        for dy in range(-ring, ring + 1):
            for dx in range(-ring, ring + 1):
                if max(abs(dx), abs(dy)) != ring:
                    continue
                for r in grid.get((int(lat // 2) + dy, (int(lon // 2) + dx + 90) % 180 - 90), []):
                    if with_country and not r[3]:
                        continue
                    d = distance_km((lat, lon), r)
                    if d < best_d:
                        best, best_d = r, d
        if best and best_d < ring * 150:
            break
    return best, best_d


rows = []
for v in read_gdbm(root + '/usr/share/metview/etc/stations-i.db'):
    index, lat100, lon100 = struct.unpack_from('<qqq', v, 0)
    altitude = struct.unpack_from('<i', v, 40)[0]
    name = v[56:].split(b'\0')[0].decode('latin-1').strip()
    name = re.sub(r'\s*\(\d+-\d+\)$', '', name).replace(',', ' ').replace('"', '')
    lat, lon = lat100 / 100.0, lon100 / 100.0
    icao = ''
    r, d = nearest(lat, lon, False)
    if r and d < 4.0:
        icao = r[2]
    r, d = nearest(lat, lon, True)
    country = r[3] if r and d < 400 else ''
    country = COUNTRY_FIXES.get(index, country)
    rows.append((index, icao, name, country, wmo_region(index), lat, lon, altitude))

# One ICAO identifier names one station: keep it at the closest WMO station only.
owner = {}
for i, row in enumerate(rows):
    if row[1]:
        ref = next(r for r in refs if r[2] == row[1])
        d = distance_km((row[5], row[6]), ref)
        if row[1] not in owner or d < owner[row[1]][1]:
            owner[row[1]] = (i, d)
print('wmo_index,icao,name,country,wmo_region,latitude,longitude,altitude')
keep = {v[0] for v in owner.values()}
out = []
for i, row in enumerate(rows):
    icao = row[1] if i in keep else ''
    out.append((row[0], icao) + row[2:])
for row in sorted(out):
    print('%05d,%s,%s,%s,%d,%.2f,%.2f,%d' % row)

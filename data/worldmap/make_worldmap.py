#!/usr/bin/python3
"""Converts free map data from Debian packages into the world map's vector records and city list.

    make_worldmap.py [--maps DIR] [--gshhg DIR] [--zones FILE] [--out DIR]

land.vec and lakes.vec come from the "world" and "lakes" databases of r-cran-maps (Natural
Earth 1:50m), rivers.vec from the river layer of gmt-gshhg-low (needs python3-netcdf4; without
it the rivers are left as they are), cities.txt from tzdata's zone.tab. See README.md.

Record format (little-endian), one record per piece of an outline inside one 15-degree tile:
int16 tile x (west edge), int16 tile y (north edge), uint32 n, n x (int16 x, int16 y).
Map coordinates are arc minutes: x = longitude east positive, y = latitude NORTH NEGATIVE.
"""
import argparse
import math
import os
import struct
import sys

TILE = 900            # arc minutes, 15 degrees
HALF_WIDTH = 10800    # 180 degrees
HALF_HEIGHT = 5400    # 90 degrees
# Douglas-Peucker tolerance in arc minutes: the map is drawn at about 10 arc minutes a pixel
# when the whole world fills a screen, so this keeps outlines smooth and the data small.
LAND_TOLERANCE = 3.0
LAKE_TOLERANCE = 2.0
RIVER_TOLERANCE = 3.0
# GSHHG river levels kept: 1 double-lined rivers, 2 permanent major rivers.
RIVER_LEVELS = (1, 2)
# Lakes smaller than this (bounding box, arc minutes) vanish at the map's scales.
MIN_LAKE_EXTENT = 20


# ---- r-cran-maps database (.L lines, .G polygons of those lines) ----

def read_maps_database(folder, name):
    """Returns the polygons of a maps database as lists of (lon, lat) in degrees."""
    with open(os.path.join(folder, name + ".L"), "rb") as f:
        ldata = f.read()
    with open(os.path.join(folder, name + ".G"), "rb") as f:
        gdata = f.read()
    coord_type, nline = struct.unpack_from("<ii", ldata, 0)
    if coord_type != 2:
        sys.exit("%s.L: coordinates of type %d, expected 2 (radians)" % (name, coord_type))
    lines = []
    for k in range(nline):
        # offset, point count, left and right polygon, padding, bounding box
        offset, npair = struct.unpack_from("<iH", ldata, 8 + 28 * k)
        xy = struct.unpack_from("<%df" % (2 * npair), ldata, offset)
        lines.append([(math.degrees(xy[2 * i]), math.degrees(xy[2 * i + 1]))
                      for i in range(npair)])
    (nregion,) = struct.unpack_from("<H", gdata, 0)
    polygons = []
    for k in range(nregion):
        offset, nl = struct.unpack_from("<iH", gdata, 2 + 24 * k)
        refs = struct.unpack_from("<%di" % nl, gdata, offset)
        ring = []
        for ref in refs:
            pts = lines[abs(ref) - 1]
            if ref < 0:
                pts = pts[::-1]
            if ring and ring[-1] == pts[0]:
                pts = pts[1:]
            ring.extend(pts)
        if len(ring) > 1 and ring[0] == ring[-1]:
            ring.pop()
        if len(ring) >= 3:
            polygons.append(ring)
    return polygons


# ---- geometry ----

def to_map(lon, lat):
    return (lon * 60.0, -lat * 60.0)


def simplify(points, tolerance, closed):
    """Douglas-Peucker, iterative; a closed ring is split at its farthest point."""
    if len(points) < 3:
        return points
    if closed:
        far = max(range(len(points)),
                  key=lambda i: (points[i][0] - points[0][0]) ** 2 + (points[i][1] - points[0][1]) ** 2)
        first = simplify(points[:far + 1], tolerance, False)
        second = simplify(points[far:] + [points[0]], tolerance, False)
        return first[:-1] + second[:-1]
    keep = [False] * len(points)
    keep[0] = keep[-1] = True
    stack = [(0, len(points) - 1)]
    while stack:
        a, b = stack.pop()
        ax, ay = points[a]
        bx, by = points[b]
        dx, dy = bx - ax, by - ay
        length = math.hypot(dx, dy)
        worst, index = 0.0, -1
        for i in range(a + 1, b):
            px, py = points[i]
            if length > 0:
                d = abs(dx * (py - ay) - dy * (px - ax)) / length
            else:
                d = math.hypot(px - ax, py - ay)
            if d > worst:
                worst, index = d, i
        if index >= 0 and worst > tolerance:
            keep[index] = True
            stack.append((a, index))
            stack.append((index, b))
    return [p for p, k in zip(points, keep) if k]


def clip_polygon(ring, x0, y0, x1, y1):
    """Sutherland-Hodgman against the rectangle; the pieces stay joined along its edges."""
    def clip(points, inside, cross):
        out = []
        for i, cur in enumerate(points):
            prev = points[i - 1]
            if inside(cur):
                if not inside(prev):
                    out.append(cross(prev, cur))
                out.append(cur)
            elif inside(prev):
                out.append(cross(prev, cur))
        return out

    def at_x(x):
        return lambda p, q: (x, p[1] + (q[1] - p[1]) * (x - p[0]) / (q[0] - p[0]))

    def at_y(y):
        return lambda p, q: (p[0] + (q[0] - p[0]) * (y - p[1]) / (q[1] - p[1]), y)

    pts = ring
    for inside, cross in ((lambda p: p[0] >= x0, at_x(x0)), (lambda p: p[0] <= x1, at_x(x1)),
                          (lambda p: p[1] >= y0, at_y(y0)), (lambda p: p[1] <= y1, at_y(y1))):
        if not pts:
            break
        pts = clip(pts, inside, cross)
    return pts


def clip_polyline(line, x0, y0, x1, y1):
    """Liang-Barsky per segment; returns the pieces inside the rectangle."""
    pieces, cur = [], []
    for (ax, ay), (bx, by) in zip(line, line[1:]):
        t0, t1 = 0.0, 1.0
        dx, dy = bx - ax, by - ay
        ok = True
        for p, q in ((-dx, ax - x0), (dx, x1 - ax), (-dy, ay - y0), (dy, y1 - ay)):
            if p == 0:
                if q < 0:
                    ok = False
                    break
            else:
                t = q / p
                if p < 0:
                    t0 = max(t0, t)
                else:
                    t1 = min(t1, t)
        if not ok or t0 > t1:
            if cur:
                pieces.append(cur)
                cur = []
            continue
        a = (ax + t0 * dx, ay + t0 * dy)
        b = (ax + t1 * dx, ay + t1 * dy)
        if not cur:
            cur = [a]
        cur.append(b)
        if t1 < 1.0:
            pieces.append(cur)
            cur = []
    if cur:
        pieces.append(cur)
    return pieces


def quantise(points):
    out = []
    for x, y in points:
        p = (max(-HALF_WIDTH, min(HALF_WIDTH, int(round(x)))),
             max(-HALF_HEIGHT, min(HALF_HEIGHT, int(round(y)))))
        if not out or out[-1] != p:
            out.append(p)
    return out


def tiles_of(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    tx0 = int(math.floor((min(xs) + HALF_WIDTH) / TILE))
    tx1 = int(math.floor((max(xs) + HALF_WIDTH) / TILE))
    ty0 = int(math.floor((min(ys) + HALF_HEIGHT) / TILE))
    ty1 = int(math.floor((max(ys) + HALF_HEIGHT) / TILE))
    for ty in range(max(ty0, 0), min(ty1, 2 * HALF_HEIGHT // TILE - 1) + 1):
        for tx in range(max(tx0, 0), min(tx1, 2 * HALF_WIDTH // TILE - 1) + 1):
            yield tx * TILE - HALF_WIDTH, ty * TILE - HALF_HEIGHT


def tile_records(shapes, filled):
    """Splits outlines (map coordinates) into per-tile records: (tile x, tile y, points)."""
    records = []
    for shape in shapes:
        for tx, ty in tiles_of(shape):
            if filled:
                pieces = [clip_polygon(shape, tx, ty, tx + TILE, ty + TILE)]
            else:
                pieces = clip_polyline(shape, tx, ty, tx + TILE, ty + TILE)
            for piece in pieces:
                q = quantise(piece)
                if filled and len(q) > 1 and q[0] == q[-1]:
                    q.pop()
                if len(q) >= (3 if filled else 2):
                    records.append((tx, ty, q))
    return records


def write_records(path, records):
    with open(path, "wb") as f:
        for tx, ty, points in records:
            f.write(struct.pack("<hhI", tx, ty, len(points)))
            f.write(b"".join(struct.pack("<hh", x, y) for x, y in points))
    print("%s: %d records, %d points, largest %d" % (
        os.path.basename(path), len(records), sum(len(r[2]) for r in records),
        max((len(r[2]) for r in records), default=0)))


# ---- GSHHG rivers (binned netCDF) ----

def read_gshhg_rivers(path):
    """The river segments of a binned GSHHG file as polylines of (lon, lat), levels kept only."""
    import netCDF4  # only this layer needs it
    nc = netCDF4.Dataset(path)
    v = nc.variables
    bin_size = float(v["Bin_size_in_minutes"][0]) / 60.0
    bins_x = int(v["N_bins_in_360_longitude_range"][0])
    seg_per_bin = v["N_segments_in_a_bin"][:]
    first_seg = v["Id_of_first_segment_in_a_bin"][:]
    seg_points = v["N_points_for_a_segment"][:]
    seg_level = v["Hierarchial_level_of_a_segment"][:]
    seg_start = v["Id_of_first_point_in_a_segment"][:]
    dx = v["Relative_longitude_from_SW_corner_of_bin"][:]
    dy = v["Relative_latitude_from_SW_corner_of_bin"][:]
    nc.close()
    lines = []
    for b in range(len(seg_per_bin)):
        # Bins run west to east from 0 degrees, rows from the north pole down.
        west = (b % bins_x) * bin_size
        south = 90.0 - (b // bins_x + 1) * bin_size
        for s in range(int(first_seg[b]), int(first_seg[b]) + int(seg_per_bin[b])):
            npts = int(seg_points[s])
            if int(seg_level[s]) not in RIVER_LEVELS or npts < 2:
                continue
            p0 = int(seg_start[s])
            pts = []
            for i in range(p0, p0 + npts):
                lon = west + (int(dx[i]) & 0xFFFF) / 65535.0 * bin_size
                lat = south + (int(dy[i]) & 0xFFFF) / 65535.0 * bin_size
                if lon > 180.0:
                    lon -= 360.0
                pts.append((lon, lat))
            lines.append(pts)
    return lines


def join_lines(lines):
    """Joins polylines that meet end to end (the binned data cuts rivers at every bin)."""
    def key(p):
        return (round(p[0], 1), round(p[1], 1))
    ends = {}
    for i, line in enumerate(lines):
        ends.setdefault(key(line[0]), []).append(i)
        ends.setdefault(key(line[-1]), []).append(i)
    used = [False] * len(lines)

    def take(point):
        for j in ends.get(key(point), []):
            if not used[j]:
                used[j] = True
                line = lines[j]
                return line if key(line[0]) == key(point) else line[::-1]
        return None
    joined = []
    for i, line in enumerate(lines):
        if used[i]:
            continue
        used[i] = True
        chain = list(line)
        for forward in (True, False):
            while True:
                nxt = take(chain[-1] if forward else chain[0])
                if nxt is None:
                    break
                chain = chain + nxt[1:] if forward else nxt[::-1][:-1] + chain
        joined.append(chain)
    return joined


# ---- cities from zone.tab ----

def parse_iso6709(text):
    """"+DDMM+DDDMM" or "+DDMMSS+DDDMMSS" to (lat, lon) in degrees."""
    split = max(text.rfind("+"), text.rfind("-"))
    lat_s, lon_s = text[:split], text[split:]

    def value(s, deg_digits):
        sign = -1 if s[0] == "-" else 1
        d = int(s[1:1 + deg_digits])
        m = int(s[1 + deg_digits:3 + deg_digits])
        sec = int(s[3 + deg_digits:5 + deg_digits]) if len(s) > 3 + deg_digits else 0
        return sign * (d + m / 60.0 + sec / 3600.0)
    return value(lat_s, 2), value(lon_s, 3)


def write_cities(zone_tab, path):
    seen, rows = set(), []
    with open(zone_tab, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            fields = line.rstrip("\n").split("\t")
            lat, lon = parse_iso6709(fields[1])
            name = fields[2].split("/")[-1].replace("_", " ")
            if name in seen:
                continue
            seen.add(name)
            x, y = to_map(lon, lat)
            rows.append("%s\t%d %d\n" % (name, int(round(x)), int(round(y))))
    with open(path, "w", encoding="ascii") as f:
        f.writelines(sorted(rows))
    print("cities.txt: %d cities" % len(rows))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--maps", default="/usr/lib/R/site-library/maps/mapdata")
    ap.add_argument("--gshhg", default="/usr/share/gmt-gshhg")
    ap.add_argument("--zones", default="/usr/share/zoneinfo/zone.tab")
    ap.add_argument("--out", default=here)
    args = ap.parse_args()

    land = [simplify([to_map(*p) for p in ring], LAND_TOLERANCE, True)
            for ring in read_maps_database(args.maps, "world")]
    write_records(os.path.join(args.out, "land.vec"), tile_records(land, True))

    lakes = []
    for ring in read_maps_database(args.maps, "lakes"):
        pts = [to_map(*p) for p in ring]
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        if max(max(xs) - min(xs), max(ys) - min(ys)) >= MIN_LAKE_EXTENT:
            lakes.append(simplify(pts, LAKE_TOLERANCE, True))
    write_records(os.path.join(args.out, "lakes.vec"), tile_records(lakes, True))

    river_file = os.path.join(args.gshhg, "binned_river_l.nc")
    try:
        lines = join_lines([[to_map(*p) for p in line] for line in read_gshhg_rivers(river_file)])
        rivers = [simplify(line, RIVER_TOLERANCE, False) for line in lines]
        write_records(os.path.join(args.out, "rivers.vec"), tile_records(rivers, False))
    except ImportError:
        print("python3-netcdf4 missing: rivers.vec left as it is")

    write_cities(args.zones, os.path.join(args.out, "cities.txt"))


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Writes the settings record golden files of tests/core/settings_record_test.cpp:

  default_settings.cfg  the compiled-in default record (3477 bytes)
  changed_settings.cfg  the default record with the CHANGES below applied

Run from anywhere: /usr/bin/python3 tests/data/core/make_default_settings.py

The bytes are computed here from the field table of the record (offset, type, default),
written out by hand, not from the C++ sources, so the test compares two independent
descriptions of the same layout: little-endian 32-bit integers, IEEE-754 little-endian
doubles, zero-terminated strings padded with zeros, every other byte 0.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SIZE = 3477

# offset, kind ('i' 32-bit int, 'd' double, 's' string of `size` bytes), value[, size]
DEFAULTS = [
    # Places fixed by the file format.
    (36, 'i', 1000), (40, 'i', 2500), (44, 'i', 4), (64, 'i', 0),
    (712, 'i', 1900), (716, 'i', 800), (720, 'i', 1200), (724, 'i', 576), (732, 'i', 120),
    (740, 'i', 5), (744, 'i', 0), (752, 'i', 1), (764, 'i', 0), (776, 'i', 1024), (780, 'i', 39),
    (1044, 'i', 50), (1052, 'i', 1275), (1056, 'i', 1700), (1060, 'i', 50), (1068, 'i', 4),
    (1072, 'd', 1.5),
    (1340, 'i', 50), (1344, 'i', 1275), (1408, 'i', 0), (1432, 'i', 3),
    (1504, 'i', 1), (1524, 'i', 1), (1528, 'i', 0), (1560, 'i', 1487),
    (1564, 'd', 4581.513), (1572, 'i', 12), (1576, 'i', 90), (1580, 'i', 224), (1584, 'i', 3),
    (1588, 'i', 100), (1592, 'i', 2), (1596, 'i', 0), (1600, 'i', 0), (1604, 'i', 0),
    (1608, 'i', 64), (1612, 'i', 0), (1624, 's', "ICOM PCR 1000", 64),
    (1728, 'i', 0), (1732, 'i', 0), (1736, 'i', 0), (1740, 'i', -1),
    (1756, 'i', 100), (1760, 'i', 100), (1764, 'i', 0), (1768, 'i', 0), (1776, 'i', 0),
    (1780, 'i', 40), (1788, 'i', 0), (1848, 'i', 0), (1852, 'i', 0),
    (1961, 'i', 11025), (1965, 'i', 1024), (1969, 'i', 64),
    (3057, 'i', 0), (3061, 'i', 0), (3065, 'i', 0), (3069, 'i', 0),
    (3077, 'i', 3), (3081, 'i', 0),
    # The station's own places (bytes 0 ... 35 and 328 ... 711).
    (0, 'i', 0), (4, 'i', 0), (8, 'i', 1275), (12, 'i', 0), (16, 'i', 0), (20, 'i', 0),
    (24, 'i', 0), (28, 'i', 1), (32, 'i', 64),
    (328, 'd', 0.0), (336, 'd', 0.0), (344, 'd', 0.0), (352, 'i', 1000), (356, 'i', 0),
    (360, 'i', 0), (364, 'i', 100), (368, 'i', 1), (372, 'i', 1), (376, 'i', 0), (380, 'i', 0),
    (384, 'i', 135), (388, 'i', 45), (392, 'i', 135), (396, 'i', 0),
    (400, 's', "DEFAULT", 16),
]

# The changes of changed_settings.cfg, by the names `kestrel settings` uses; the test sets
# each through ParseSettingsField from the text given here.
CHANGES = [
    ("frequency", 1564, 'd', 7005.25),
    ("receiver.name", 1624, 's', "AR 7030 PLUS", 64),
    ("fax.folder", 784, 's', "/srv/station/fax", 256),
    ("data.folder", 3221, 's', "/srv/station/data", 256),
    ("decoder", 3081, 'i', 4096),
    ("audio.rate", 1961, 'i', 8000),
    ("equalizer.position", 1740, 'i', 1),
    ("rtty.stop_bits", 1072, 'd', 2.0),
    ("text.colour", 396, 'i', 0x00FF8000),
    ("equalizer.name", 400, 's', "NARROW", 16),
    ("mixer.state", 2549, 'b', bytes([1, 2, 3, 4, 5, 6, 7, 8]), 8),
]


def put(record, offset, kind, value, size=None):
    if kind == 'i':
        record[offset:offset + 4] = struct.pack('<i', value)
    elif kind == 'd':
        record[offset:offset + 8] = struct.pack('<d', value)
    elif kind == 's':
        data = value.encode('latin-1')
        assert len(data) < size
        record[offset:offset + size] = data + bytes(size - len(data))
    else:
        record[offset:offset + size] = value


def main():
    record = bytearray(SIZE)
    for row in DEFAULTS:
        put(record, *row)
    assert len(record) == SIZE
    with open(os.path.join(HERE, 'default_settings.cfg'), 'wb') as f:
        f.write(record)
    for row in CHANGES:
        put(record, *row[1:])
    assert len(record) == SIZE
    with open(os.path.join(HERE, 'changed_settings.cfg'), 'wb') as f:
        f.write(record)


if __name__ == '__main__':
    main()

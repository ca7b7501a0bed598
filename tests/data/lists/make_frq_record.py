#!/usr/bin/python3
"""Writes frq_record.bin, one 428-byte frequency record, for tests/lists/frq_record_test.cpp.

Run from anywhere with plain Python 3:
    /usr/bin/python3 tests/data/lists/make_frq_record.py

The layout is written out here on its own, from the column list: little-endian, doubles 8
bytes, every long and yes/no column 4 bytes, texts of 32, 16, 16 and 80 bytes, no gaps.
Every field holds a value no other field holds, so a field read from the wrong place shows.
The call sign has bytes after its terminating zero, which a reader keeps.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# (column, struct code, value) in column order.
FIELDS = [
    ("rxFrq", "d", 7880.125),
    ("name", "32s", b"DWD Pinneberg"),
    ("decoder", "i", 8768),
    ("modulation", "i", 1),
    ("callSign", "16s", b"DDK3\0XY"),
    ("country", "i", 65),
    ("stationType", "i", 10),
    ("steps", "i", 100),
    ("ifIndex", "i", 2),
    ("txFrq", "d", 7880.5),
    ("att", "i", 3),
    ("agc", "i", 4),
    ("nb", "i", 5),
    ("volume", "i", 64),
    ("squelch", "i", 7),
    ("startFrq", "d", 7870.25),
    ("stopFrq", "d", 7890.75),
    ("scanSteps", "i", 1000),
    ("waveOn", "i", 11),
    ("lineOn", "i", 12),
    ("decFilter", "i", 13),
    ("equFilter", "i", 14),
    ("equName", "16s", b"FAXCURVE"),
    ("waveOutVol", "i", 135),
    ("lineInVol", "i", 45),
    ("lineOutVol", "i", 136),
    ("audioSquelch", "i", 18),
    ("recOnSig", "i", 19),
    ("stopOnSig", "i", 20),
    ("recTime", "i", 21),
    ("whileTime", "i", 101),
    ("audioOrSquelch", "i", 23),
    ("assumeRadio", "i", 24),
    ("assumeAudio", "i", 25),
    ("flags", "i", 26),
    ("cwCenter", "i", 800),
    ("cwMark", "i", 801),
    ("cwWidth", "i", 40),
    ("faxIoc", "i", 576),
    ("faxLpm", "i", 120),
    ("faxCenter", "i", 1900),
    ("faxShift", "i", 802),
    ("faxFilterMode", "i", 27),
    ("faxFilterWidth", "i", 1200),
    ("faxHMirror", "i", 28),
    ("faxVMirror", "i", 29),
    ("faxAm", "i", 30),
    ("faxFilterOn", "i", 31),
    ("faxBurst1", "i", 1040),
    ("faxBurst2", "i", 250),
    ("faxSyncWidth", "i", 32),
    ("faxInvertSync", "i", 33),
    ("rttyMode", "i", 34),
    ("rttyBaud", "i", 50),
    ("rttyMark", "i", 1275),
    ("rttySpace", "i", 1700),
    ("rttyStopBits", "d", 1.5),
    ("rttyPolarity", "i", 35),
    ("sstvMode", "i", 36),
    ("sstvFilterLo", "i", 1001),
    ("sstvFilterHi", "i", 2500),
    ("sstvFilterOrder", "i", 8),
    ("sstvManualFilter", "i", 37),
    ("commentary", "80s", b"Weather charts, 0430 UTC schedule"),
    ("modulationType", "i", 38),
    ("satId", "i", -2),
    ("extension1", "i", 0x7FFFFFFF),
    ("extension2", "i", -0x80000000),
    ("extension3", "i", 0x12345678),
    ("extension4", "i", -123456789),
]


def main():
    ints = [v for _, code, v in FIELDS if code == "i"]
    assert len(ints) == len(set(ints)), "every long column needs a value of its own"
    fmt = "<" + "".join(code for _, code, _ in FIELDS)
    data = struct.pack(fmt, *(v for _, _, v in FIELDS))
    offsets = {}
    at = 0
    for name, code, _ in FIELDS:
        offsets[name] = at
        at += struct.calcsize("<" + code)
    assert len(data) == 428 and at == 428
    assert offsets["startFrq"] == 108 and offsets["commentary"] == 324
    with open(os.path.join(HERE, "frq_record.bin"), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()

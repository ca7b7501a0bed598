#!/usr/bin/env python3
"""Writes the seed corpus of the wave reader's fuzzer: a few tiny valid WAVE files."""
import os
import struct
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "wave")
os.makedirs(out, exist_ok=True)


def chunk(cid, body):
    pad = b"\0" if len(body) & 1 else b""
    return cid + struct.pack("<I", len(body)) + body + pad


def riff(*chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def fmt(tag, ch, rate, align, bits, extra=None):
    rec = struct.pack("<HHIIHH", tag, ch, rate, rate * align, align, bits)
    if extra is None:
        return chunk(b"fmt ", rec)
    return chunk(b"fmt ", rec + struct.pack("<H", len(extra)) + extra)


ramp16 = b"".join(struct.pack("<h", (i * 997) % 65536 - 32768) for i in range(64))
ramp8 = bytes((i * 37) & 255 for i in range(63))
ima_block = struct.pack("<hBB", 1000, 20, 0) + bytes((i * 29) & 255 for i in range(252))
guid_tail = bytes([0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71])


def extensible(sub, ch, bits):
    return fmt(0xFFFE, ch, 11025, ch * bits // 8, bits, struct.pack("<HIH", bits, 3, sub) + guid_tail)


def stream_sizes(wav, size):
    """The header of a stream written to a pipe: RIFF and data sizes not filled in."""
    at = wav.index(b"data") + 4
    return wav[:4] + struct.pack("<I", size) + wav[8:at] + struct.pack("<I", size) + wav[at + 4:]


floats = b"".join(struct.pack("<f", v) for v in (0.5, -1.0, 1.5, -2.0, float("nan"), 1e-5, 0.25, -0.75))
files = {
    "pcm16_mono.wav": riff(fmt(1, 1, 11025, 2, 16, b""), chunk(b"data", ramp16)),
    "pcm16_stereo_list.wav": riff(chunk(b"LIST", b"INFOx"), fmt(1, 2, 8000, 4, 16), chunk(b"data", ramp16)),
    "pcm8_odd.wav": riff(fmt(1, 1, 8000, 1, 8), chunk(b"data", ramp8), chunk(b"junk", b"abc")),
    "alaw.wav": riff(fmt(6, 1, 8000, 1, 8, b""), chunk(b"fact", struct.pack("<I", 63)), chunk(b"data", ramp8)),
    "ulaw.wav": riff(fmt(7, 1, 8000, 1, 8, b""), chunk(b"fact", struct.pack("<I", 63)), chunk(b"data", ramp8)),
    "ima_mono.wav": riff(fmt(0x11, 1, 11025, 256, 4, struct.pack("<H", 505)),
                         chunk(b"fact", struct.pack("<I", 600)), chunk(b"data", ima_block + ima_block[:40])),
    "ima_stereo.wav": riff(fmt(0x11, 2, 22050, 512, 4, struct.pack("<H", 505)),
                           chunk(b"fact", struct.pack("<I", 505)), chunk(b"data", ima_block * 2)),
    "ext_pcm24_stereo.wav": riff(extensible(1, 2, 24), chunk(b"data", ramp16[:60])),
    "ext_float.wav": riff(extensible(3, 1, 32), chunk(b"data", floats)),
    "float_cut.wav": riff(fmt(3, 1, 8000, 4, 32, b""), chunk(b"data", floats))[:-5],
    "pcm32_4ch.wav": riff(fmt(1, 4, 8000, 16, 32), chunk(b"data", ramp16)),
    "pipe_pcm16.wav": stream_sizes(riff(fmt(1, 1, 8000, 2, 16), chunk(b"data", ramp16)), 0x7FFFFFFF),
}
for name, data in files.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)

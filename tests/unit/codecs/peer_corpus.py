"""Writes the Python part of the corpus of the differential test against
libsndfile into the folder given as the only argument: integer PCM through
the wave module; IEEE float, mu-law, A-law and extensible files with their
headers packed by hand; and files that no reader should take."""

import math
import os
import struct
import sys
import wave

folder = sys.argv[1]
FRAMES = 997
GUID_TAIL = bytes.fromhex("000000001000800000aa00389b71")


def path(name):
    return os.path.join(folder, name)


def chunk(ident, body, order="<"):
    return ident + struct.pack(order + "I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def riff_of(name, body):
    with open(path(name), "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + len(body)) + b"WAVE" + body)


def riff(name, fmt, data, extra=b""):
    riff_of(name, chunk(b"fmt ", fmt) + extra + chunk(b"data", data))


def fmt16(tag, channels, rate, bits, container):
    block = container * channels
    return struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits)


def fmtx(sub_tag, channels, rate, bits, container, tail=GUID_TAIL):
    head = fmt16(0xFFFE, channels, rate, bits, container)
    return head + struct.pack("<HHIH", 22, bits, (1 << channels) - 1, sub_tag) + tail


def pattern(count):
    return bytes((k * 151 + 7) % 256 for k in range(count))


for width in (1, 2, 3, 4):
    for channels in (1, 2):
        w = wave.open(path("py_pcm%d_%d.wav" % (8 * width, channels)), "wb")
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(22050)
        w.writeframes(pattern(FRAMES * channels * width))
        w.close()

# The edges of the rule (full scale, the smallest steps, halves, beyond
# +-1.0, infinities, NaN), then a sine that overshoots full scale.
floats = [0.0, -0.0, 0.5, -0.5, 1.0, -1.0, 1.5, -1.5, 2.0 ** -31, -(2.0 ** -31),
          2.0 ** -32, -(2.0 ** -32), 3 * 2.0 ** -32, float("inf"), float("-inf"),
          float("nan"), 1 - 2.0 ** -24, -1 + 2.0 ** -24]
floats += [1.2 * math.sin(k * 0.05) for k in range(FRAMES)]
floats = floats[: len(floats) // 2 * 2]
for bits, code in ((32, "f"), (64, "d")):
    data = struct.pack("<%d%s" % (len(floats), code), *floats)
    fact = b"fact" + struct.pack("<II", 4, len(floats))
    riff("py_float%d.wav" % bits, fmt16(3, 1, 44100, bits, bits // 8), data, fact)
    riff("py_floatx%d_2.wav" % bits, fmtx(3, 2, 44100, bits, bits // 8), data)

laws = bytes(range(256)) * 4
for tag, name in ((7, "ulaw"), (6, "alaw")):
    riff("py_%s.wav" % name, fmt16(tag, 1, 8000, 8, 1) + b"\0\0", laws)
    riff("py_%sx_2.wav" % name, fmtx(tag, 2, 8000, 8, 1), laws)

riff("py_pcmx16_3.wav", fmtx(1, 3, 48000, 16, 2), pattern(FRAMES * 3 * 2))
riff("py_pcmx24_1.wav", fmtx(1, 1, 48000, 24, 3), pattern(FRAMES * 3))

# Files that should be refused.
riff("bad_tag.wav", fmt16(0x1234, 1, 8000, 16, 2), pattern(200))
riff("bad_guid.wav", fmtx(1, 1, 8000, 16, 2, tail=bytes(14)), pattern(200))
riff("bad_short_extensible.wav", fmt16(0xFFFE, 1, 8000, 16, 2) + b"\0\0", pattern(200))
riff("bad_float24.wav", fmt16(3, 1, 8000, 24, 3), pattern(300))
riff("bad_ulaw16.wav", fmt16(7, 1, 8000, 16, 2), pattern(200))
riff("bad_zero_channels.wav", struct.pack("<HHIIHH", 1, 0, 8000, 0, 0, 16), pattern(200))
# No 'data' chunk, or one that an odd chunk without its pad byte hides.
pcm16 = chunk(b"fmt ", fmt16(1, 1, 8000, 16, 2))
riff_of("bad_no_data.wav", pcm16 + chunk(b"LIST", b"INFO"))
riff_of("bad_unpadded_odd.wav",
        pcm16 + b"iXML" + struct.pack("<I", 5) + b"<x/>\n" + chunk(b"data", pattern(200)))
# An AIFF whose 'COMM' counts more frames than 'SSND' holds, an 'APPL'
# chunk after the sound data.
comm = struct.pack(">hIh", 1, 100 + 500, 16) + bytes.fromhex("400bfa00000000000000")
form = (b"AIFF" + chunk(b"COMM", comm, ">") + chunk(b"SSND", bytes(8) + pattern(200), ">")
        + chunk(b"APPL", b"abcd" + pattern(1000), ">"))
with open(path("count_beyond_ssnd.aiff"), "wb") as f:
    f.write(b"FORM" + struct.pack(">I", len(form)) + form)
with open(path("py_pcm16_2.wav"), "rb") as f:
    whole = f.read()
with open(path("cut_pcm16_2.wav"), "wb") as f:
    f.write(whole[: len(whole) // 2])

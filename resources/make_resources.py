#!/usr/bin/env python3
"""Makes Wendrel's key sounds and icon. Run it from this folder; the files it writes are kept
in the repository, so the build needs no Python.

Sounds: five short, distinct key clicks, 16-bit PCM mono WAV at 22050 Hz, each well under
100 ms. Icon: a 64 x 64 PNG of coloured keys on the window's violet."""
import math
import struct
import wave
import zlib

RATE = 22050


def click(path, frequency, duration_ms, decay, noise=0.0, seed=1):
    frames = int(RATE * duration_ms / 1000)
    state = seed
    samples = []
    for n in range(frames):
        t = n / RATE
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        hiss = (state / 0x7FFFFFFF * 2 - 1) * noise
        envelope = math.exp(-t * decay)
        value = (math.sin(2 * math.pi * frequency * t) * (1 - noise) + hiss) * envelope
        samples.append(int(max(-1.0, min(1.0, value)) * 26000))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


def png(path, width, height, pixel):
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def icon_pixel(x, y):
    background = (33, 22, 51, 255)
    if y < 14:  # the text area
        return (250, 250, 250, 255) if 4 <= x < 60 and 3 <= y < 12 else background
    colours = [(200, 200, 88), (88, 163, 166), (128, 122, 246), (211, 100, 100), (0, 196, 141)]
    row = (y - 14) // 10
    if row >= len(colours) or (y - 14) % 10 == 9 or x % 12 in (0, 11) or x >= 60:
        return background
    return colours[row] + (255,)


if __name__ == "__main__":
    click("sound1.wav", 1800, 30, 180)
    click("sound2.wav", 900, 45, 120)
    click("sound3.wav", 2600, 25, 220, noise=0.3, seed=3)
    click("sound4.wav", 600, 60, 90)
    click("sound5.wav", 1200, 40, 150, noise=0.8, seed=5)
    png("wendrel.png", 64, 64, icon_pixel)

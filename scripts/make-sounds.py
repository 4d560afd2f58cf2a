#!/usr/bin/env python3
"""Synthesises the application's two short sounds into Resources/Sounds.

shake.wav      a short rattle: five decaying bursts of filtered noise
touchStart.wav a soft tick: a fast-decaying two-tone blip

Deterministic (fixed seed), so running it again gives the same files.
"""
import math
import os
import random
import struct
import wave

RATE = 22050
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "Resources", "Sounds")


def write(name, samples):
    peak = max(1e-9, max(abs(s) for s in samples))
    scale = 0.8 * 32767 / peak
    with wave.open(os.path.join(OUT, name), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(s * scale)) for s in samples))


def shake():
    rnd = random.Random(20260105)
    total = int(0.36 * RATE)
    out = [0.0] * total
    for k in range(5):
        start = int((0.012 + k * 0.068) * RATE)
        length = int(0.05 * RATE)
        low = 0.0
        for i in range(length):
            if start + i >= total:
                break
            # One-pole low-pass over white noise: a dull, wooden rattle.
            low += 0.35 * (rnd.uniform(-1, 1) - low)
            env = math.exp(-i / (0.012 * RATE)) * (1.0 - 0.12 * k)
            out[start + i] += low * env
    return out


def touch_start():
    total = int(0.045 * RATE)
    out = []
    for i in range(total):
        t = i / RATE
        env = math.exp(-t / 0.008) * min(1.0, i / 40)
        out.append(env * (math.sin(2 * math.pi * 1760 * t) + 0.4 * math.sin(2 * math.pi * 880 * t)))
    return out


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    write("shake.wav", shake())
    write("touchStart.wav", touch_start())

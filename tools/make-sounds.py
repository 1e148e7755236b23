#!/usr/bin/env python3
"""Synthesises the three notification sounds into res/audio/ (16-bit mono WAVE, 22050 Hz).

Each is a few soft bell-like notes: sine partials with a quick attack and an exponential
decay, so they are short, clear and never harsh."""
import math
import os
import struct
import wave

RATE = 22050


def bell(freq, start, length, gain, buf):
    attack = int(0.006 * RATE)
    for i in range(int(length * RATE)):
        t = i / RATE
        env = min(1.0, i / attack) * math.exp(-t * 7.0)
        s = (math.sin(2 * math.pi * freq * t) + 0.35 * math.sin(2 * math.pi * 2 * freq * t)
             + 0.12 * math.sin(2 * math.pi * 3 * freq * t))
        k = int(start * RATE) + i
        if k < len(buf):
            buf[k] += gain * env * s


def render(name, notes, total):
    buf = [0.0] * int(total * RATE)
    for freq, start, length in notes:
        bell(freq, start, length, 0.28, buf)
    peak = max(1e-9, max(abs(x) for x in buf))
    scale = 0.6 / peak * 32767
    fade = int(0.02 * RATE)
    for i in range(fade):
        buf[-1 - i] *= i / fade
    path = os.path.join(os.path.dirname(__file__), "..", "res", "audio", name)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(x * scale)) for x in buf))


render("conversation.wav", [(1318.5, 0.0, 0.35), (1760.0, 0.12, 0.45)], 0.6)
render("order.wav", [(1046.5, 0.0, 0.3), (1318.5, 0.1, 0.3), (1568.0, 0.2, 0.5)], 0.75)
render("newcomer.wav", [(784.0, 0.0, 0.5), (1174.7, 0.15, 0.55)], 0.75)

#!/usr/bin/env python3
"""Writes the terminal's trade sounds into assets/sound/trade/ (16-bit mono, 22050 Hz).

0.wav  alert: a rising two-note chime
2.wav  order failed: a low falling pair of notes
5.wav  filled: a bright bell
6.wav  cancelled: a short soft falling blip
"""
import math
import os
import struct
import wave

RATE = 22050
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "sound", "trade")


def tone(freq, dur, amp=0.5, decay=6.0, partials=((1, 1.0),), attack=0.004, glide_to=None):
    n = int(RATE * dur)
    out = []
    phase = [0.0] * len(partials)
    for i in range(n):
        t = i / RATE
        f = freq if glide_to is None else freq + (glide_to - freq) * (i / n)
        env = min(1.0, t / attack) * math.exp(-decay * t)
        s = 0.0
        for k, (mult, weight) in enumerate(partials):
            phase[k] += 2 * math.pi * f * mult / RATE
            s += weight * math.sin(phase[k])
        out.append(amp * env * s / sum(w for _, w in partials))
    return out


def silence(dur):
    return [0.0] * int(RATE * dur)


def write(name, samples):
    # A short fade at the very end so that no sound ends with a click.
    fade = int(RATE * 0.01)
    for i in range(1, fade + 1):
        samples[-i] *= (i - 1) / fade
    with wave.open(os.path.join(OUT, name), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32000)) for s in samples))


def mix(*tracks):
    n = max(len(t) for t in tracks)
    return [sum(t[i] for t in tracks if i < len(t)) for i in range(n)]


def main():
    os.makedirs(OUT, exist_ok=True)
    bell = ((1, 1.0), (2.0, 0.35), (3.01, 0.15), (4.2, 0.08))
    chime1 = tone(1318.5, 0.45, 0.45, 7.0, bell)
    chime2 = silence(0.14) + tone(1760.0, 0.5, 0.45, 6.0, bell)
    write("0.wav", mix(chime1, chime2))
    soft = ((1, 1.0), (2, 0.25), (3, 0.1))
    write("2.wav", tone(440.0, 0.22, 0.5, 9.0, soft) + tone(329.6, 0.32, 0.5, 8.0, soft))
    write("5.wav", tone(1567.98, 0.7, 0.5, 5.5, bell))
    write("6.wav", tone(880.0, 0.2, 0.42, 14.0, soft, glide_to=587.3))


if __name__ == "__main__":
    main()

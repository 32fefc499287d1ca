#!/usr/bin/env python3
"""Settles, with mpmath's arbitrary precision, who rounds right where sin_rounded or
cos_rounded and the C library differ:
    build-bench/bench/trig_check 1024 --list | bench/trig_check.py
Each input line is "sin|cos x ours libc" in hexadecimal floating point. Exits 1 if any of ours
is not the double nearest the exact value (python3-mpmath)."""
import sys

from mpmath import cos, mp, mpf, sin

mp.prec = 300
checked = wrong = libc_nearer = 0
for line in sys.stdin:
    parts = line.split()
    if len(parts) != 4 or parts[0] not in ("sin", "cos"):
        continue
    x, ours, libc = (mpf(float.fromhex(p)) for p in parts[1:])
    exact = (sin if parts[0] == "sin" else cos)(x)
    ulp = mpf(2) ** (mp.floor(mp.log(abs(exact), 2)) - 52)
    checked += 1
    if abs(ours - exact) > ulp / 2:
        wrong += 1
        print("not nearest:", line.strip(), "off by", mp.nstr(abs(ours - exact) / ulp, 5), "ulp")
    if abs(libc - exact) < abs(ours - exact):
        libc_nearer += 1
print(f"{checked} arguments: ours not the nearest on {wrong}, the C library's nearer on "
      f"{libc_nearer}")
sys.exit(1 if wrong else 0)

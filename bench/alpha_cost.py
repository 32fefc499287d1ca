#!/usr/bin/env python3
"""What transparency costs: each method's whole run on a transparent PNG against the same
picture without its alpha, as whole processes.

The two pictures hold the same photo-like colours (generated here, with no imaging library);
the transparent one adds an alpha plane with clear parts (hiding other colours), soft ramps and
opaque parts. Both give PNG results (RGB, and RGBA for the transparent one). Every run is timed
as compare.py times it (timed: wall and processor seconds, peak memory), the two pictures'
runs of a method side by side in every round, the rounds interleaved; the table shows the
medians and the ratio transparent / opaque. With --callgrind each run is counted once more under
Callgrind on one thread, whose count of executed instructions is the same on every run.

    bench/alpha_cost.py --enlarge3 build/enlarge3 --rounds 7 --cases AB [--callgrind A] WORKDIR
"""
import argparse
import math
import os
import random
import re
import statistics
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare import CASES, timed  # noqa: E402

METHODS = ("lanczos3", "hybrid", "dct")


def png(path, width, height, rows, channels):
    """Writes rows (bytes of width * channels samples each, from the top) as an 8-bit PNG."""
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    colour_type = {3: 2, 4: 6}[channels]
    raw = b"".join(b"\0" + r for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 1)))
        f.write(chunk(b"IEND", b""))


def make_inputs(opaque, transparent, w, h, seed):
    """Smooth waves with sensor noise; alpha clear on the left (another colour hidden there),
    opaque on the right, with a soft ramp and a hard-edged disc between."""
    rng = random.Random(seed)
    rgb_rows, rgba_rows = [], []
    for y in range(h):
        rgb, rgba = bytearray(), bytearray()
        for x in range(w):
            u, v = x / w, y / h
            c = [int(127 + 60 * math.sin(7 * u + 3 * v + k) + 50 * math.sin(23 * u * v + 2 * k)
                     + rng.gauss(0, 4)) for k in range(3)]
            c = [min(255, max(0, s)) for s in c]
            inside = (u - 0.5) ** 2 + ((v - 0.5) * h / w) ** 2 < 0.04
            a = 255 if inside or u > 0.7 else 0 if u < 0.3 else int(255 * (u - 0.3) / 0.4)
            hidden = c if a else [255 - s for s in c]
            rgb += bytes(c)
            rgba += bytes(hidden + [a])
        rgb_rows.append(bytes(rgb))
        rgba_rows.append(bytes(rgba))
    png(opaque, w, h, rgb_rows, 3)
    png(transparent, w, h, rgba_rows, 4)


def instructions(cmd):
    """Instructions executed by cmd on one thread, as Callgrind counts them."""
    out = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + cmd,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                         env={**os.environ, "ENLARGE3_THREADS": "1"}, check=True)
    return int(re.search(r"Collected : (\d+)", out.stderr).group(1))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--enlarge3", required=True)
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--cases", default="AB")
    ap.add_argument("--callgrind", default="", help="cases also counted under Callgrind")
    ap.add_argument("workdir")
    args = ap.parse_args()
    os.makedirs(args.workdir, exist_ok=True)
    loads = [os.getloadavg()]
    print("| input | method | opaque wall s | transparent wall s | opaque CPU s "
          "| transparent CPU s | ratio wall | ratio CPU | ratio instructions |")
    print("|---|---|---|---|---|---|---|---|---|")
    for name, w, h, w2, h2 in CASES:
        if name not in args.cases:
            continue
        pictures = [os.path.join(args.workdir, f"{name}-{kind}.png")
                    for kind in ("opaque", "transparent")]
        if not all(os.path.exists(p) for p in pictures):
            make_inputs(*pictures, w, h, seed=ord(name))
        for method in METHODS:
            cmds = [[args.enlarge3, "--method", method, p, str(w2), str(h2)] for p in pictures]
            walls, cpus = ([], []), ([], [])
            for _ in range(args.rounds):
                for i, cmd in enumerate(cmds):
                    wall, cpu, _ = timed(cmd)
                    walls[i].append(wall)
                    cpus[i].append(cpu)
            wall = [statistics.median(t) for t in walls]
            cpu = [statistics.median(t) for t in cpus]
            counted = "-"
            if name in args.callgrind:
                ir = [instructions(cmd) for cmd in cmds]
                counted = f"{ir[1] / ir[0]:.3f}x ({ir[0]:.3g} to {ir[1]:.3g})"
            print(f"| {name} {w}x{h} to {w2}x{h2} | {method} | {wall[0]:.3f} | {wall[1]:.3f} "
                  f"| {cpu[0]:.3f} | {cpu[1]:.3f} | {wall[1] / wall[0]:.2f}x "
                  f"| {cpu[1] / cpu[0]:.2f}x | {counted} |", flush=True)
    loads.append(os.getloadavg())
    print("load average (1, 5, 15 min) before: %.2f %.2f %.2f, after: %.2f %.2f %.2f"
          % (loads[0] + loads[1]))


if __name__ == "__main__":
    main()

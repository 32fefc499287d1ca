#!/usr/bin/env python3
"""Times enlarge3 against the tools a user would otherwise reach for, as whole processes.

Every command of a case runs once per round, the rounds interleaved so that a slow moment of
the machine hits all of them alike; the table shows the median wall time, the median processor
time (user and system, all threads) and the largest peak memory (maximum resident set) of each,
and the ratios the targets are stated in. Processor time and peak memory are the kernel's own
counts for each process (wait4), as /usr/bin/time -v reports them. On a machine that other
work keeps busy the wall times of a program on two threads suffer more than those of a program
on one; the processor times show the work itself.

    bench/compare.py --enlarge3 build/enlarge3 --dct-fftw build/bench/dct_fftw --rounds 5 WORKDIR

--dct-isas avx512,avx2,generic runs the DCT method once per named instruction set
(ENLARGE3_LANE_ISA) instead of once with the widest, all in the same rounds, so that the sets
are compared side by side.
Cases D (4000 x 3000 to 4096 x 4096) and E (3000 x 2000 to 6000 x 4000, a 24-megapixel result)
are the memory cases; they run only when asked for. With --dct-only only the DCT method and the
FFTW program run.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

CASES = [("A", 640, 480, 1280, 960), ("B", 1920, 1080, 3840, 2160), ("C", 1000, 750, 4096, 3072),
         ("D", 4000, 3000, 4096, 4096), ("E", 3000, 2000, 6000, 4000)]


def make_input(path, w, h, seed):
    # Photo-like: a fractal plasma under a stone texture, with a little sensor noise.
    subprocess.run(
        ["convert", "-size", f"{w}x{h}", "-seed", str(seed), "plasma:fractal",
         "(", "granite:", "-resize", f"{w}x{h}!", ")", "-compose", "overlay", "-composite",
         "-seed", str(seed), "-attenuate", "0.25", "+noise", "Gaussian",
         "-type", "TrueColor", f"BMP3:{path}"],
        check=True)


def timed(cmd, env=None):
    """Wall seconds, processor seconds and peak resident kilobytes of one run, from the
    child's own accounting."""
    start = time.perf_counter()
    child = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                             env=None if env is None else {**os.environ, **env})
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    err = child.stderr.read().decode(errors="replace")
    child.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed ({os.waitstatus_to_exitcode(status)}): {' '.join(cmd)}\n{err}")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--enlarge3", required=True)
    ap.add_argument("--dct-fftw")
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--cases", default="ABC")
    ap.add_argument("--dct-isas", default="")
    ap.add_argument("--dct-only", action="store_true")
    ap.add_argument("workdir")
    args = ap.parse_args()
    os.makedirs(args.workdir, exist_ok=True)
    here = os.path.dirname(os.path.abspath(__file__))

    # How busy the machine was: the times mean little when other work shares the cores.
    loads = [os.getloadavg()]
    rows = []
    for name, w, h, w2, h2 in CASES:
        if name not in args.cases:
            continue
        src = os.path.join(args.workdir, f"{name}.bmp")
        if not os.path.exists(src):
            make_input(src, w, h, seed=ord(name))
        out = os.path.join(args.workdir, f"{name}-out")
        commands = {
            "enlarge3 lanczos3": [args.enlarge3, "--method", "lanczos3", src, str(w2), str(h2)],
            "enlarge3 hybrid": [args.enlarge3, "--method", "hybrid", src, str(w2), str(h2)],
            "enlarge3 dct": [args.enlarge3, "--method", "dct", src, str(w2), str(h2)],
            "Pillow LANCZOS": ["/usr/bin/python3", os.path.join(here, "pil_resize.py"), src,
                               str(w2), str(h2), out + "-pil.bmp"],
            "ImageMagick Lanczos": ["convert", src, "-filter", "Lanczos", "-resize",
                                    f"{w2}x{h2}!", out + "-im.bmp"],
        }
        if args.dct_only:
            commands = {"enlarge3 dct": commands["enlarge3 dct"]}
        envs = {}
        isas = list(filter(None, args.dct_isas.split(",")))
        dct = commands.pop("enlarge3 dct") if isas else None
        for isa in isas:
            commands[f"enlarge3 dct {isa}"] = dct
            envs[f"enlarge3 dct {isa}"] = {"ENLARGE3_LANE_ISA": isa}
        if args.dct_fftw:
            commands["FFTW DCT program"] = [args.dct_fftw, src, str(w2), str(h2)]
        walls = {k: [] for k in commands}
        cpus = {k: [] for k in commands}
        rss = {k: 0 for k in commands}
        for _ in range(args.rounds):
            for key, cmd in commands.items():
                t, c, m = timed(cmd, envs.get(key))
                walls[key].append(t)
                cpus[key].append(c)
                rss[key] = max(rss[key], m)
        med = {k: statistics.median(v) for k, v in walls.items()}
        cpu = {k: statistics.median(v) for k, v in cpus.items()}
        spread = {k: (min(walls[k]), max(walls[k]), min(cpus[k]), max(cpus[k])) for k in walls}
        rows.append((name, w, h, w2, h2, med, cpu, rss, spread))

    loads.append(os.getloadavg())
    print("load average (1, 5, 15 min) before: %.2f %.2f %.2f, after: %.2f %.2f %.2f"
          % (loads[0] + loads[1]))
    print(f"| input | command | median wall s | median CPU s | wall, CPU range s | peak RSS MiB "
          f"| ratio |")
    print(f"|---|---|---|---|---|---|---|")
    for name, w, h, w2, h2, med, cpu, rss, spread in rows:
        refs = {
            "enlarge3 lanczos3": ("Pillow LANCZOS", "x Pillow"),
            "enlarge3 hybrid": ("enlarge3 lanczos3", "x lanczos3"),
            "enlarge3 dct": ("FFTW DCT program", "x FFTW"),
            **{f"enlarge3 dct {isa}": ("FFTW DCT program", "x FFTW")
               for isa in filter(None, args.dct_isas.split(","))},
            "ImageMagick Lanczos": ("Pillow LANCZOS", "x Pillow"),
        }
        label = f"{name} {w}x{h} to {w2}x{h2}"
        for key in med:
            ratio = ""
            if key in refs and refs[key][0] in med and med[refs[key][0]] > 0:
                ratio = f"{med[key] / med[refs[key][0]]:.2f}{refs[key][1]}"
            ref = refs.get(key, ("", ""))[0]
            if ref in cpu and cpu[ref] > 0 and ref == "FFTW DCT program":
                ratio += f", CPU {cpu[key] / cpu[ref]:.2f}x FFTW"
            if key.startswith("enlarge3 dct"):
                ratio += f"; RSS {rss[key] * 1024 / (w2 * h2):.1f} B per output pixel"
            lo_w, hi_w, lo_c, hi_c = spread[key]
            print(f"| {label} | {key} | {med[key]:.4f} | {cpu[key]:.4f} "
                  f"| {lo_w:.3f}-{hi_w:.3f}, {lo_c:.3f}-{hi_c:.3f} | {rss[key] / 1024:.1f} "
                  f"| {ratio} |")


if __name__ == "__main__":
    main()

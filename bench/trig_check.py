#!/usr/bin/env python3
"""Reads the lists of `trig_check LONGEST --list`: each line "family sin|cos x ours libc" in
hexadecimal floating point, one for every argument where the C library's value is not ours
(sin_rounded or cos_rounded).

Settles, with mpmath's arbitrary precision, who rounds right (python3-mpmath):
    build-bench/bench/trig_check 1024 --list | bench/trig_check.py
Exits 1 if any of ours is not the double nearest the exact value.

Compares two C libraries, family by family, on the same arguments (for example glibc's and
MinGW's, the second list made by the Windows build under Wine):
    bench/trig_check.py linux.txt windows.txt
An argument where only one library differs from ours is one where the two differ; where both
do, their two values decide."""
import sys
from collections import Counter, defaultdict


def read_list(lines):
    """{family: {(function, x): libc value}} and {family: Counter of (function, x)}."""
    values, counts = defaultdict(dict), defaultdict(Counter)
    for line in lines:
        parts = line.split()
        if len(parts) != 5 or parts[1] not in ("sin", "cos"):
            continue
        family, name, x, _, libc = parts
        values[family][(name, x)] = libc
        counts[family][(name, x)] += 1
    return values, counts


def settle(lines):
    from mpmath import cos, mp, mpf, sin

    mp.prec = 300
    checked = wrong = libc_nearer = 0
    for line in lines:
        parts = line.split()
        if len(parts) != 5 or parts[1] not in ("sin", "cos"):
            continue
        x, ours, libc = (mpf(float.fromhex(p)) for p in parts[2:])
        exact = (sin if parts[1] == "sin" else cos)(x)
        ulp = mpf(2) ** (mp.floor(mp.log(abs(exact), 2)) - 52)
        checked += 1
        if abs(ours - exact) > ulp / 2:
            wrong += 1
            print("not nearest:", line.strip(), "off by", mp.nstr(abs(ours - exact) / ulp, 5),
                  "ulp")
        if abs(libc - exact) < abs(ours - exact):
            libc_nearer += 1
    print(f"{checked} arguments: ours not the nearest on {wrong}, the C library's nearer on "
          f"{libc_nearer}")
    return 1 if wrong else 0


def compare(first_path, second_path):
    with open(first_path) as f:
        first, first_counts = read_list(f)
    with open(second_path) as f:
        second, second_counts = read_list(f)
    print(f"{'family':10} {'first vs ours':>14} {'second vs ours':>15} {'first vs second':>16}")
    for family in sorted(set(first) | set(second)):
        a, b = first[family], second[family]
        # The same argument always gives the same values, so both lists count it alike.
        apart = sum(first_counts[family][k] for k in a if b.get(k) != a[k])
        apart += sum(second_counts[family][k] for k in b if k not in a)
        print(f"{family:10} {sum(first_counts[family].values()):14} "
              f"{sum(second_counts[family].values()):15} {apart:16}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 3:
        sys.exit(compare(sys.argv[1], sys.argv[2]))
    sys.exit(settle(sys.stdin))

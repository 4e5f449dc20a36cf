"""The fast pass of the correctly rounded Bessel arrays against the exact path alone,
bit for bit, over many random points: I_n and K_n for the orders given, x log-spaced
over [2^-17, 720] and uniform over [8, 705], half each, I also at -x.

    python checks/bessel_fast_sweep.py [--points N] [--orders 0,1,5] [--seed S]

Prints, per function, the points compared, how many the fast pass left to the exact
path, and any mismatch (exit status 1 then). The exact path costs 3-15 us a point,
so 10^6 points a function take 10-40 s on two cores.
"""

import argparse
import math
import sys
import time

import numpy as np

from invlap import _engine


def sweep(kind, n, x):
    orders = np.full(x.size, float(n))
    fast, exact = np.empty(x.size), np.empty(x.size)
    left = _engine.bessel(kind, orders, x, fast, workers=2)
    _engine.bessel(kind, orders, x, exact, workers=2, exact=True)
    return left, np.flatnonzero(fast.view(np.int64) != exact.view(np.int64))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--orders", default="0,1,5")
    parser.add_argument("--seed", type=int, default=20261208)
    args = parser.parse_args()
    rng = np.random.default_rng(args.seed)
    failed = False
    for kind in "ik":
        for n in (int(v) for v in args.orders.split(",")):
            half = args.points // 2
            x = np.concatenate([np.exp(rng.uniform(math.log(2.0 ** -17), math.log(720.0), half)),
                                rng.uniform(8.0, 705.0, args.points - half)])
            if kind == "i":
                x[::2] = -x[::2]
            start = time.perf_counter()
            left, bad = sweep(kind, n, x)
            print(f"{kind}{n}: {x.size} points, {left} to the exact path, {bad.size} mismatches"
                  f" ({time.perf_counter() - start:.0f} s)")
            for i in bad[:10]:
                print(f"    x = {float(x[i]).hex()}")
            failed = failed or bad.size > 0
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

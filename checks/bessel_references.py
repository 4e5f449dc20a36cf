"""Reference values of I_0, I_1, K_0 and K_1 from mpmath, for
check_bessel_full_precision.cpp: an independent source for the
full-precision Bessel functions.

    python checks/bessel_references.py > checks/bessel_references.txt

Each line: the precision in bits the values are good to, x (a double of 16
significant bits, exact at every precision tested, as float.hex()), then I_0(x), I_1(x), K_0(x) and K_1(x), each as
0x<hex integer>p<binary exponent>, exact. Two tiers: 1100 bits on a coarse
grid (for working precisions up to 1000 bits, with points on both sides of
where 1000 bits switch to the expansion), 480 bits on a dense one (up to 400
bits, a point every 2.5 from 25 to 160 so that the switch of every tested
precision has neighbours on both sides). mpmath evaluates each at 40 bits
more than the tier's and the result is rounded to the tier: its own error is
far below the bounds checked. Slow (mpmath's K of integer order takes
seconds at these precisions): the output is kept in the repository.
"""

import math

import mpmath



def short(x):
    """x rounded to 16 significant bits: exact at every tested precision (24 bits up)."""
    mantissa, exponent = math.frexp(x)
    return math.ldexp(round(mantissa * 2 ** 16), exponent - 16)


# 1.1229 is near 2 exp(-gamma), where ln(x/2) + gamma, K_0's head, vanishes.
COARSE = [short(x) for x in (0.001, 0.01, 0.1, 0.5, 1.0, 1.1229, 2.0, 5.0, 10.0, 24.5, 25.0, 30.0,
                             50.0, 75.0, 100.0, 150.0, 200.0, 250.0, 300.0, 340.0, 345.0, 350.0,
                             355.0, 360.0, 370.0, 400.0, 500.0, 700.0)]
DENSE = sorted({short(10 ** (e / 8)) for e in range(-24, 23)}
               | {25.0 + 2.5 * i for i in range(55)} | {250.0, 400.0, 550.0, 700.0})
TIERS = [(1100, COARSE), (480, DENSE)]


def exact(value, bits):
    """value rounded to `bits` bits, as 0x<hex>p<exponent>."""
    man, exp = mpmath.mpf(value, prec=bits).man_exp
    return f"{'-' if man < 0 else ''}0x{abs(man):x}p{exp}"


def main():
    for bits, grid in TIERS:
        mpmath.mp.prec = bits + 40
        for x in grid:
            assert math.isfinite(x) and x > 0
            values = [mpmath.besseli(0, x), mpmath.besseli(1, x),
                      mpmath.besselk(0, x), mpmath.besselk(1, x)]
            print(bits, x.hex(), *(exact(v, bits) for v in values), flush=True)


if __name__ == "__main__":
    main()

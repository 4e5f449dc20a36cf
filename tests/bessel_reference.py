"""A plain gmpy2 evaluation of the modified Bessel functions I_n and K_n.

Written step by step from the method's description, independently of the
module: every step rounds to nearest into a fresh value of the stated
precision, the relative stop test always divides at full precision, and the
large-argument sum runs all its passes up to the first growing term. The
exponent range is MPFR's default, 1 - 2^30 ... 2^30 - 1 (gmpy2's default
context has the same; it is set here explicitly all the same), so overflow
and underflow happen where they happen in the module. The tests compare the
module with it bit for bit.

The order of operations is fixed on purpose and must not be "improved": the
module's results are defined as these roundings in exactly this order (the
50-place Euler constant, the doubles 2 pi and pi/2, the stop test on a
double), so another order, even a more accurate one, would give other bits.
"""

import math

import gmpy2

_EXPONENTS = dict(emax=2**30 - 1, emin=1 - 2**30)  # MPFR's default range
_CONTEXTS = {}

EULER_GAMMA_TEXT = "0.57721566490153286060651209008240243104215933593992"


def at(bits):
    """The context whose operations round to nearest into `bits` bits."""
    context = _CONTEXTS.get(bits)
    if context is None:
        context = gmpy2.context(precision=bits, round=gmpy2.RoundToNearest, **_EXPONENTS)
        _CONTEXTS[bits] = context
    return context


def from_double(value, bits):
    with at(bits):
        return gmpy2.mpfr(value, bits)


def exact_double(value):
    return gmpy2.mpfr(value, 53)


def working_bits(digits):
    bits = math.ceil(digits * 3.321928094887362) + 10
    if not 1 <= bits <= 4294967295:
        raise OverflowError("precision out of range")
    return bits


def series_bits(bits, xd):
    product = xd * 1.4426950408889634
    extra = math.ceil(product) if product > 0 else 0
    series = bits + 20 + extra
    if series > 4294967295:
        raise OverflowError("precision out of range")
    return series


def _ascending(v, p, divisor):
    with at(p):
        q = v * v
        q = q / 4
        total = gmpy2.mpfr(1)
        term = gmpy2.mpfr(1)
        for k in range(1, 100000):
            term = term * q
            term = term / divisor(k)
            total = total + term
            if term == 0:
                break
            if k >= 11:
                ratio = float(term / total)
                if abs(ratio) < 1e-50:
                    break
        return total


def i0_series(v, p):
    return _ascending(v, p, lambda k: k * k)


def i1_series(v, p):
    total = _ascending(v, p, lambda k: k * (k + 1))
    with at(p):
        h = v / 2
        return h * total


def k0_series(x, p):
    i0 = i0_series(x, p)
    with at(p):
        gamma = gmpy2.mpfr(EULER_GAMMA_TEXT, p)
        log = gmpy2.log(x / 2)
        s = -(log + gamma)
        s = s * i0
        q = x * x
        q = q / 4
        t = q
        h = gmpy2.mpfr(1)
        s = s + h * t
        for k in range(2, 100000):
            t = t * q
            t = t / (k * k)
            h = h + gmpy2.mpfr(1) / gmpy2.mpfr(k)
            v = h * t
            s = s + v
            if v == 0:
                break
            if k >= 11 and abs(float(v / s)) < 1e-50:
                break
        return s


def _expansion(x, p, n, sign):
    mu = float(4 * n * n)
    with at(p):
        inv = gmpy2.mpfr(1) / x
        total = gmpy2.mpfr(1)
        term = gmpy2.mpfr(1)
        prev = gmpy2.mpfr(1.7976931348623157e308, p)
        for k in range(1, 200):
            odd = float((2 * k - 1) ** 2)
            f = odd - mu if sign > 0 else mu - odd
            term = term * gmpy2.mpfr(f, p)
            term = term / (8 * k)
            term = term * inv
            a = abs(term)
            if a > prev:
                break
            prev = a
            total = total + term
        return total


def copy_at(value, bits):
    with at(bits):
        return gmpy2.mpfr(value, bits)


def _argument(x, bits):
    big_x = from_double(x, bits)
    return big_x, float(big_x)


def besseli(n, x, digits=34):
    p = working_bits(digits)
    big_x, xd = _argument(x, p)
    if xd < 25.0:
        q = series_bits(p, xd)
        xq = copy_at(big_x, q)
        if n == 0:
            s = i0_series(xq, q)
        elif n == 1:
            s = i1_series(xq, q)
        else:
            raise ValueError("Only nu=0,1 supported")
        with at(q):
            e = gmpy2.exp(-xq)
            e = s * e
        r = copy_at(e, p)
    else:
        total = _expansion(big_x, p, n, +1)
        with at(p):
            w = big_x * exact_double(6.283185307179586)
            w = gmpy2.sqrt(w)
            r = total / w
    with at(p):
        y = r * gmpy2.exp(big_x)
        return float(y)


def besselk(n, x, digits=34):
    p = working_bits(digits)
    big_x, xd = _argument(x, p)
    if xd < 25.0:
        q = series_bits(p, xd)
        xq = copy_at(big_x, q)
        if n == 0:
            k = k0_series(xq, q)
        elif n == 1:
            i0 = i0_series(xq, q)
            i1 = i1_series(xq, q)
            k0 = k0_series(xq, q)
            with at(q):
                u = gmpy2.mpfr(1) / xq
                y = i1 * k0
                d = u - y
                k = d / i0
        else:
            raise ValueError("Only nu=0,1 supported")
        with at(q):
            z = k * gmpy2.exp(xq)
        u = copy_at(z, p)
    else:
        total = _expansion(big_x, p, n, -1)
        with at(p):
            h = gmpy2.mpfr(1.5707963267948966, p)
            g = gmpy2.sqrt(h / big_x)
            u = total * g
    with at(p):
        e = gmpy2.exp(gmpy2.mpfr(-x, p))
        return float(u * e)

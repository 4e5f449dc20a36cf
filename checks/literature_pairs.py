"""A second broad set of Laplace transform pairs from the literature, kept apart
from tests/trust_pairs.py (none repeats a pair of that set), for hunting
silently wrong values (checks/hunt_silent.py).

PAIRS maps F(s), written in invlap's expression language, to (f, times): f(t)
in closed form or as a convergent series in mpmath, evaluated at the caller's
working precision, and the times where the class is hard. CLASS_OF maps each F
to its class. No reference here comes from invlap.

Sources: Abramowitz & Stegun 29.3 (rational, powers, erf/erfc, Bessel,
essential singularities, delays); Roberts & Kaufman and Oberhettinger & Badii
(logarithms, periodic functions, Bessel ratios); Davies & Martin (1979) and
Abate & Valko (2004) test functions; Carslaw & Jaeger (slab, cylinder and
sphere diffusion, the finite-radius well, 13.8); Kuhlman (2013) and Hantush
(1956) for well hydraulics (Theis at several radii, leaky aquifers)."""

import mpmath as mp

# ---------------------------------------------------------------- helpers


def _h(x):
    """Heaviside step (never evaluated at a jump: the times avoid them)."""
    return 1 if x > 0 else 0


def _pf(poles, numerator=lambda s: 1):
    """f for numerator(s)/prod(s - p) with distinct simple poles p."""
    def f(t):
        ps = [mp.mpmathify(p) for p in poles()]
        total = 0
        for k, p in enumerate(ps):
            d = 1
            for j, q in enumerate(ps):
                if j != k:
                    d *= p - q
            total += numerator(p) * mp.exp(p * t) / d
        return mp.re(total)
    return f


def _roots_of_minus_one(n):
    """The n roots of s**n = -1."""
    return lambda: [mp.expjpi(mp.mpf(2 * k + 1) / n) for k in range(n)]


def _terms(term, start=0, n_max=100000):
    """Sum term(n) from start until four terms in a row stop mattering (the
    series here fall monotonically in size after their peak, save for terms
    that vanish, as sin(n pi/2) at even n)."""
    total, n, quiet = mp.mpf(0), start, 0
    while n < n_max:
        x = term(n)
        total += x
        quiet = quiet + 1 if abs(x) <= mp.eps * abs(total) * mp.mpf(2) ** -20 else 0
        if quiet == 4:
            return total
        n += 1
    raise ValueError("series did not converge")


def _small_t(t):
    """Whether the image (erfc) series beats the eigenfunction series at t."""
    return t < mp.mpf("0.5")


def _ierfc(x):
    return mp.exp(-x * x) / mp.sqrt(mp.pi) - x * mp.erfc(x)


def _i2erfc(x):
    return ((1 + 2 * x * x) * mp.erfc(x) - 2 * x * mp.exp(-x * x) / mp.sqrt(mp.pi)) / 4


def _theis(r):
    return lambda t: mp.e1(mp.mpf(r) ** 2 / (4 * t)) / 2


def _hantush(r, b):
    """L^-1 K0(r sqrt(s+b))/s = W(r^2/(4t), r sqrt(b))/2 (Hantush's leaky well
    function W(u, beta) = int_u^inf exp(-y - beta^2/(4y))/y dy)."""
    def f(t):
        r_, b_ = mp.mpf(r), mp.mpf(b)
        u, beta2 = r_ ** 2 / (4 * t), r_ ** 2 * b_
        # y = u + x takes the factor exp(-u) out (quad over [u, inf) loses
        # relative accuracy where u is large: 5e-8 at u = 250)
        g = lambda x: mp.exp(-x - beta2 / (4 * (u + x))) / (u + x)
        return mp.exp(-u) * mp.quad(g, [0, 1, 5, 20, 60, mp.inf]) / 2
    return f


def _radial_flow(t):
    """Constant-rate well of finite radius (Carslaw & Jaeger 13.8, van
    Everdingen & Hurst): L^-1 K0(sqrt s)/(s^1.5 K1(sqrt s))."""
    g = lambda u: (-mp.expm1(-u * u * t)) / (u ** 3 * (mp.besselj(1, u) ** 2 + mp.bessely(1, u) ** 2))
    c = 1 / mp.sqrt(t)
    points = sorted({mp.mpf(0), mp.mpf("0.01"), mp.mpf(1), mp.mpf(10), c, 10 * c, mp.inf})
    return 4 / mp.pi ** 2 * mp.quad(g, points)


_J0ZEROS = {}


def _j0zero(n):
    key = (n, mp.mp.prec)
    if key not in _J0ZEROS:
        _J0ZEROS[key] = mp.besseljzero(0, n)
    return _J0ZEROS[key]


def _cylinder_flux(t):
    # I1(sqrt s)/(sqrt(s) I0(sqrt s)) = sum 2/(s + j_n^2)
    _no_short_times(t)
    return _terms(lambda n: 2 * mp.exp(-_j0zero(n + 1) ** 2 * t))


def _no_short_times(t):
    # the eigenfunction sums need about 3/sqrt(t) Bessel zeros: refused (the
    # runner reports the point as having no reliable reference) below 0.01
    if t < mp.mpf("0.01"):
        raise ValueError("no reference: eigenfunction sum too long at t < 0.01")


def _cylinder_inside(t):
    # I0(r sqrt s)/(s I0(sqrt s)) at r = 1/2 (Carslaw & Jaeger 7.4)
    _no_short_times(t)
    r = mp.mpf(1) / 2
    return 1 - 2 * _terms(lambda n: mp.besselj(0, r * _j0zero(n + 1)) * mp.exp(-_j0zero(n + 1) ** 2 * t)
                          / (_j0zero(n + 1) * mp.besselj(1, _j0zero(n + 1))))


def _slab_inside(t):
    # cosh(x sqrt s)/(s cosh sqrt s) at x = 1/2, slab |x| < 1, surface at 1
    x = mp.mpf(1) / 2
    if _small_t(t):
        q = 2 * mp.sqrt(t)
        return _terms(lambda n: (-1) ** n * (mp.erfc((2 * n + 1 - x) / q) + mp.erfc((2 * n + 1 + x) / q)))
    return 1 - 4 / mp.pi * _terms(lambda n: mp.mpf(-1) ** n / (2 * n + 1) * mp.cos((2 * n + 1) * mp.pi * x / 2)
                                  * mp.exp(-(2 * n + 1) ** 2 * mp.pi ** 2 * t / 4))


def _slab_between(t):
    # sinh(x sqrt s)/(s sinh sqrt s) at x = 1/2: 0 at x = 0, 1 at x = 1
    x = mp.mpf(1) / 2
    if _small_t(t):
        q = 2 * mp.sqrt(t)
        return _terms(lambda n: mp.erfc((2 * n + 1 - x) / q) - mp.erfc((2 * n + 1 + x) / q))
    return x + 2 / mp.pi * _terms(lambda n: mp.mpf(-1) ** n / n * mp.sin(n * mp.pi * x)
                                  * mp.exp(-n ** 2 * mp.pi ** 2 * t), start=1)


def _theta3_like(t):
    # 1/(sqrt(s) tanh(sqrt(s))) = 1 + 2 sum exp(-n^2 pi^2 t)
    if _small_t(t):
        return (1 + 2 * _terms(lambda n: mp.exp(-n * n / t), start=1)) / mp.sqrt(mp.pi * t)
    return 1 + 2 * _terms(lambda n: mp.exp(-n * n * mp.pi ** 2 * t), start=1)


def _theta4_like(t):
    # 1/(sqrt(s) sinh(sqrt(s))) = 1 + 2 sum (-1)^n exp(-n^2 pi^2 t)
    if _small_t(t):
        return 2 * _terms(lambda n: mp.exp(-(2 * n + 1) ** 2 / (4 * t))) / mp.sqrt(mp.pi * t)
    return 1 + 2 * _terms(lambda n: (-1) ** n * mp.exp(-n * n * mp.pi ** 2 * t), start=1)


def _sphere_flux(t):
    # (sqrt(s) coth(sqrt(s)) - 1)/s = sum 2/(s + n^2 pi^2)
    if _small_t(t):
        return (1 + 2 * _terms(lambda n: mp.exp(-n * n / t), start=1)) / mp.sqrt(mp.pi * t) - 1
    return 2 * _terms(lambda n: mp.exp(-n * n * mp.pi ** 2 * t), start=1)


def _slab_flux_integral(t):
    # tanh(sqrt(s))/s^1.5
    if _small_t(t):
        rt = mp.sqrt(t)
        return 2 * rt / mp.sqrt(mp.pi) + 4 * rt * _terms(lambda k: (-1) ** k * _ierfc(k / rt), start=1)
    # (sum 8/((2n+1)^2 pi^2) = 1)
    return 1 - _terms(lambda n: 8 / ((2 * n + 1) ** 2 * mp.pi ** 2)
                      * mp.exp(-(2 * n + 1) ** 2 * mp.pi ** 2 * t / 4))


def _slab_growth(t):
    # 1/(s^1.5 tanh(sqrt(s))) = t + 1/3 - (2/pi^2) sum exp(-n^2 pi^2 t)/n^2
    if _small_t(t):
        rt = mp.sqrt(t)
        return 2 * rt / mp.sqrt(mp.pi) + 4 * rt * _terms(lambda k: _ierfc(k / rt), start=1)
    return t + mp.mpf(1) / 3 - 2 / mp.pi ** 2 * _terms(lambda n: mp.exp(-n * n * mp.pi ** 2 * t) / n ** 2,
                                                        start=1)


def _sech_root(t):
    # 1/cosh(sqrt s) = 2 sum (-1)^k exp(-(2k+1) sqrt s)
    if _small_t(t):
        return _terms(lambda k: (-1) ** k * (2 * k + 1) * mp.exp(-(2 * k + 1) ** 2 / (4 * t))) \
            / (mp.sqrt(mp.pi) * t ** mp.mpf(1.5))
    return mp.pi * _terms(lambda n: (-1) ** n * (2 * n + 1) * mp.exp(-(2 * n + 1) ** 2 * mp.pi ** 2 * t / 4))


def _tanh_root_over_root(t):
    # tanh(sqrt s)/sqrt s = 2 sum exp(-(2n+1)^2 pi^2 t/4)
    if _small_t(t):
        return (1 + 2 * _terms(lambda k: (-1) ** k * mp.exp(-k * k / t), start=1)) / mp.sqrt(mp.pi * t)
    return 2 * _terms(lambda n: mp.exp(-(2 * n + 1) ** 2 * mp.pi ** 2 * t / 4))


def _erfc_root_pair(t):
    # exp(-sqrt(s+1))/s (Carslaw & Jaeger: k = 1, a = 1)
    q = 1 / (2 * mp.sqrt(t))
    rt = mp.sqrt(t)
    return (mp.exp(-1) * mp.erfc(q - rt) + mp.e * mp.erfc(q + rt)) / 2


def _sqrt_quadratic(t):
    # 1/(s - sqrt(s) + 1) = 1/((sqrt s - a)(sqrt s - b)), a, b = (1 +- i sqrt 3)/2
    a = (1 + 1j * mp.sqrt(3)) / 2
    b = mp.conj(a)
    rt = mp.sqrt(t)
    g = lambda c: c * mp.exp(c * c * t) * mp.erfc(-c * rt)
    return mp.re((g(a) - g(b)) / (a - b))


def _square4(t):
    # 1/(s cosh s): 2 on (1, 3) modulo 4, else 0
    r = t - 4 * mp.floor(t / 4)
    return 2 if 1 < r < 3 else 0


def _ramp4(t):
    # 1/(s^2 cosh s) = 2 sum (-1)^k (t - (2k+1))_+
    total, k = mp.mpf(0), 0
    while 2 * k + 1 < t:
        total += 2 * (-1) ** k * (t - (2 * k + 1))
        k += 1
    return total


def _kelvin0(t):
    return mp.besseli(0, 2 * mp.sqrt(1j * t))


def _zero_of_erfc_pair():
    with mp.workdps(40):
        return float(1 / (4 * mp.erfinv(mp.mpf(1) / 2) ** 2))


def _zero_of_log_pair():
    with mp.workdps(40):
        return float(mp.exp(1 - mp.euler))


PAIRS = {}
CLASS_OF = {}


def _section(name, pairs):
    for F, entry in pairs.items():
        assert F not in PAIRS, F
        PAIRS[F] = entry
        CLASS_OF[F] = name


W = mp.mpf("1.0009765625")  # 1 + 2**-10, exact in binary and in decimal

# ---------------------------------------------------------------- rational
_section("rational", {
    "1/(s+1)**3": (lambda t: t ** 2 * mp.exp(-t) / 2, [0.1, 1, 10, 50]),
    "1/(s+1)**10": (lambda t: t ** 9 * mp.exp(-t) / mp.factorial(9), [0.5, 5, 9, 30]),
    "1/(s**2+1)**2": (lambda t: (mp.sin(t) - t * mp.cos(t)) / 2, [0.5, 5, 30, 100]),
    "s/(s**2+1)**2": (lambda t: t * mp.sin(t) / 2, [0.5, 5, 30, 100]),
    "1/(s**2+1)**3": (lambda t: ((3 - t ** 2) * mp.sin(t) - 3 * t * mp.cos(t)) / 8, [1, 10, 50]),
    "1/((s+1)*(s+1.0009765625))": (_pf(lambda: [-1, -W]), [0.1, 1, 10, 100]),
    "1/((s+1)*(s+2)*(s+3)*(s+4))": (_pf(lambda: [-1, -2, -3, -4]), [0.01, 1, 10]),
    "1/(s*(s+1)*(s+2)*(s+3)*(s+4)*(s+5))": (_pf(lambda: [0, -1, -2, -3, -4, -5]), [0.01, 1, 10, 100]),
    "1/(s**4+4)": (lambda t: (mp.sin(t) * mp.cosh(t) - mp.cos(t) * mp.sinh(t)) / 4, [0.5, 3, 10]),
    "s/(s**4+4)": (lambda t: mp.sin(t) * mp.sinh(t) / 2, [0.5, 3, 10]),
    "1/(s**3+1)": (_pf(_roots_of_minus_one(3)), [0.5, 5, 20]),
    "(s+3)/((s+1)*(s**2+4))": (_pf(lambda: [-1, 2j, -2j], lambda s: s + 3), [0.5, 5, 20]),
    "1/(s**6+1)": (_pf(_roots_of_minus_one(6)), [0.5, 5, 20]),
    "s**3/(s**4+1)": (_pf(_roots_of_minus_one(4), lambda s: s ** 3), [0.5, 5, 20]),
    "1/(s**2+s+1)": (lambda t: 2 / mp.sqrt(3) * mp.exp(-t / 2) * mp.sin(mp.sqrt(3) * t / 2), [0.5, 5, 20]),
    "1/((s**2+1)*(s**2+4))": (lambda t: (mp.sin(t) - mp.sin(2 * t) / 2) / 3, [1, 10, 50]),
    "1/((s**2+1)*(s**2+1.0201))": (
        lambda t: (mp.sin(t) - mp.sin(mp.mpf("1.01") * t) / mp.mpf("1.01")) / mp.mpf("0.0201"),
        [1, 10, 100, 300]),
    "1/((s+1)*(s**2+1))": (lambda t: (mp.exp(-t) + mp.sin(t) - mp.cos(t)) / 2, [0.5, 5, 50]),
    "1/(s**2+2*s+2)**2": (lambda t: mp.exp(-t) * (mp.sin(t) - t * mp.cos(t)) / 2, [0.5, 5, 20]),
    "1/(s*(s+1)**3)": (lambda t: 1 - mp.exp(-t) * (1 + t + t ** 2 / 2), [0.01, 1, 10]),
    "1/(s**2-0.25)": (lambda t: 2 * mp.sinh(t / 2), [1, 10, 100]),
    "1/(s*(s-1)**2)": (lambda t: 1 - mp.exp(t) + t * mp.exp(t), [0.1, 1, 10]),
})

# ---------------------------------------------------------------- oscillation
_section("oscillation", {
    "1/(s**2+100)": (lambda t: mp.sin(10 * t) / 10, [0.3, 5, 50, 100]),
    "s/(s**2+900)": (lambda t: mp.cos(30 * t), [0.1, 5, 50, 100]),
    "1/(s**2+10000)": (lambda t: mp.sin(100 * t) / 100, [0.01, 1, 10, 100]),
    "s/(s**2+2500)": (lambda t: mp.cos(50 * t), [0.01, 1, 10, 60]),
    "1/((s+0.001)**2+10000)": (lambda t: mp.exp(-t / 1000) * mp.sin(100 * t) / 100, [0.05, 2, 30, 100]),
    "1/(s**2+1)+1/(s**2+10000)": (lambda t: mp.sin(t) + mp.sin(100 * t) / 100, [0.5, 5, 50]),
    "1/(s*(s**2+400))": (lambda t: (1 - mp.cos(20 * t)) / 400, [0.1, 1, 10, 50]),
    "1/((s+0.0078125)**2+400)": (lambda t: mp.exp(-t / 128) * mp.sin(20 * t) / 20, [1, 10, 100]),
    "1/(s**2+10000)**2": (lambda t: (mp.sin(100 * t) - 100 * t * mp.cos(100 * t)) / (2 * 100 ** 3),
                          [0.1, 1, 10]),
    "1/sqrt(s**2+100)": (lambda t: mp.besselj(0, 10 * t), [0.1, 1, 10, 50]),
    "s/(s**2+10000)+1/sqrt(s)": (lambda t: mp.cos(100 * t) + 1 / mp.sqrt(mp.pi * t), [0.01, 1, 10]),
    "1/((s+1)**2+2500)": (lambda t: mp.exp(-t) * mp.sin(50 * t) / 50, [0.1, 1, 10]),
    "(s+0.5)/((s+0.5)**2+900)": (lambda t: mp.exp(-t / 2) * mp.cos(30 * t), [0.1, 1, 10, 40]),
    "1/(s**2+1)**1.5": (lambda t: t * mp.besselj(1, t), [1, 10, 50]),
    "s/(s**2+1)**1.5": (lambda t: t * mp.besselj(0, t), [1, 10, 50]),
    "(sqrt(s**2+1)-s)**2/sqrt(s**2+1)": (lambda t: mp.besselj(2, t), [1, 10, 50]),
    "(sqrt(s**2+1)-s)**3/sqrt(s**2+1)": (lambda t: mp.besselj(3, t), [1, 10, 50]),
})

# ---------------------------------------------------------------- branch points, powers
_section("branch", {
    "s**(-1.5)": (lambda t: 2 * mp.sqrt(t / mp.pi), [1e-3, 1, 1e3]),
    "s**(-0.25)": (lambda t: t ** mp.mpf(-0.75) / mp.gamma(mp.mpf(0.25)), [1e-3, 1, 1e3]),
    "s**(-2.5)": (lambda t: t ** mp.mpf(1.5) / mp.gamma(mp.mpf(2.5)), [1e-3, 1, 1e3]),
    "s**(-0.75)": (lambda t: t ** mp.mpf(-0.25) / mp.gamma(mp.mpf(0.75)), [0.01, 1, 100]),
    "(s+1)**(-1.5)": (lambda t: mp.exp(-t) * mp.sqrt(t) / mp.gamma(mp.mpf(1.5)), [0.01, 1, 20]),
    "1/(sqrt(s)+2)": (lambda t: 1 / mp.sqrt(mp.pi * t) - 2 * mp.exp(4 * t) * mp.erfc(2 * mp.sqrt(t)),
                      [0.01, 1, 10]),
    "1/(sqrt(s)*(sqrt(s)+2))": (lambda t: mp.exp(4 * t) * mp.erfc(2 * mp.sqrt(t)), [0.01, 1, 10]),
    "1/(s*(sqrt(s)+1))": (lambda t: 1 - mp.exp(t) * mp.erfc(mp.sqrt(t)),
                          [0.01, 1, 100]),
    "sqrt(s+1)-sqrt(s)": (lambda t: -mp.expm1(-t) / (2 * mp.sqrt(mp.pi) * t ** mp.mpf(1.5)), [0.01, 1, 100]),
    "1/sqrt(s*(s+2))": (lambda t: mp.exp(-t) * mp.besseli(0, t), [0.1, 1, 100]),
    "1/sqrt(s**2-1)": (lambda t: mp.besseli(0, t), [0.5, 5, 30]),
    "1/(s*sqrt(s+4))": (lambda t: mp.erf(2 * mp.sqrt(t)) / 2, [0.01, 1, 10]),
    "1/(s**2-1)**1.5": (lambda t: t * mp.besseli(1, t), [0.5, 5, 20]),
    "exp(-sqrt(s+1))/s": (_erfc_root_pair, [0.05, 1, 10]),
    "1/(s-sqrt(s)+1)": (_sqrt_quadratic, [0.1, 1, 10, 30]),
    "sqrt(s)/(s+1)": (lambda t: 1 / mp.sqrt(mp.pi * t) - mp.exp(-t) * mp.erfi(mp.sqrt(t)), [0.1, 1, 100]),
    "1/(sqrt(s)*(s-1))": (lambda t: mp.exp(t) * mp.erf(mp.sqrt(t)), [0.1, 1, 10]),
})

# ---------------------------------------------------------------- logarithms
_section("log", {
    "log(s)/sqrt(s)": (lambda t: -(mp.euler + mp.log(4 * t)) / mp.sqrt(mp.pi * t), [0.01, 1, 100]),
    "log(1+1/s)": (lambda t: -mp.expm1(-t) / t, [0.01, 1, 100]),
    "log((s**2+1)/s**2)": (lambda t: 2 * (1 - mp.cos(t)) / t, [0.5, 5, 50]),
    "log((s**2+4)/(s**2+1))": (lambda t: 2 * (mp.cos(t) - mp.cos(2 * t)) / t, [0.5, 5, 50]),
    "log(s)**2/s": (lambda t: (mp.log(t) + mp.euler) ** 2 - mp.pi ** 2 / 6, [0.01, 1, 100]),
    "atanh(1/s)": (lambda t: mp.sinh(t) / t, [0.1, 1, 20]),
    "atan(3/s)/s": (lambda t: mp.si(3 * t), [0.1, 1, 10, 100]),
    "log(s)/(s+1)": (lambda t: -mp.exp(-t) * mp.ei(t), [0.1, 1, 10]),
    "log((s+2)/s)/s": (lambda t: mp.euler + mp.log(2 * t) + mp.e1(2 * t), [0.1, 1, 100]),
    "s*log(s/(s+1))+1": (lambda t: -mp.expm1(-t) / t ** 2 - mp.exp(-t) / t, [0.01, 1, 10, 100]),
})

# ---------------------------------------------------------------- erf, erfc
_section("erf", {
    "exp(s**2/4)*erfc(s/2)": (lambda t: 2 / mp.sqrt(mp.pi) * mp.exp(-t ** 2), [0.1, 1, 3, 5]),
    "exp(s)*erfc(sqrt(s))": (lambda t: 1 / (mp.pi * mp.sqrt(t) * (t + 1)), [0.01, 1, 100]),
    "exp(s)*erfc(sqrt(s))/sqrt(s)": (lambda t: 1 / mp.sqrt(mp.pi * (t + 1)), [0.01, 1, 100]),
    "exp(4*s)*erfc(2*sqrt(s))": (lambda t: 2 / (mp.pi * mp.sqrt(t) * (t + 4)), [0.01, 1, 100]),
    "exp(1/s)*erfc(1/sqrt(s))/sqrt(s)": (lambda t: mp.exp(-2 * mp.sqrt(t)) / mp.sqrt(mp.pi * t), [0.01, 1, 100]),
    "erf(1/sqrt(s))": (lambda t: mp.sin(2 * mp.sqrt(t)) / (mp.pi * t), [0.1, 1, 100]),
    "erfc(1/sqrt(s))/s": (lambda t: 1 - 2 / mp.pi * mp.si(2 * mp.sqrt(t)), [0.1, 1, 100]),
    "erfc(sqrt(s))": (lambda t: _h(t - 1) / (mp.pi * t * mp.sqrt(t - 1)) if t > 1 else mp.mpf(0),
                      [0.5, 1.5, 3, 10]),
    "erfc(sqrt(s))/s": (lambda t: 2 / mp.pi * mp.atan(mp.sqrt(t - 1)) if t > 1 else mp.mpf(0),
                        [0.5, 1.5, 3, 100]),
})

# ---------------------------------------------------------------- Bessel I, K; wells
_section("bessel", {
    "besselk(0, s)": (lambda t: 1 / mp.sqrt(t * t - 1) if t > 1 else mp.mpf(0), [0.5, 1.5, 3, 10]),
    "besselk(1, s)": (lambda t: t / mp.sqrt(t * t - 1) if t > 1 else mp.mpf(0), [0.5, 1.5, 3, 10]),
    "besselk(0, s)/s": (lambda t: mp.acosh(t) if t > 1 else mp.mpf(0), [0.5, 1.5, 3, 10]),
    "besselk(1, s)/s": (lambda t: mp.sqrt(t * t - 1) if t > 1 else mp.mpf(0), [0.5, 1.5, 3, 10]),
    "exp(s)*besselk(0, s)": (lambda t: 1 / mp.sqrt(t * (t + 2)), [0.01, 1, 100]),
    "besselk(1, sqrt(s))/sqrt(s)": (lambda t: mp.exp(-1 / (4 * t)), [0.01, 1, 100]),
    "2*besselk(1, 2*sqrt(s))/sqrt(s)": (lambda t: mp.exp(-1 / t), [0.05, 1, 100]),
    "besselk(0, 2*sqrt(s))": (lambda t: mp.exp(-1 / t) / (2 * t), [0.05, 1, 100]),
    "exp(-s)*besseli(0, s)": (lambda t: 1 / (mp.pi * mp.sqrt(t * (2 - t))) if t < 2 else mp.mpf(0),
                              [0.5, 1, 1.9, 3]),
    "besseli(0, s)*exp(-2*s)": (
        lambda t: 1 / (mp.pi * mp.sqrt((t - 1) * (3 - t))) if 1 < t < 3 else mp.mpf(0),
        [0.5, 1.5, 2.5, 4]),
    "besseli(1, sqrt(s))/(sqrt(s)*besseli(0, sqrt(s)))": (_cylinder_flux, [0.02, 0.1, 1, 5]),
    "besseli(0, 0.5*sqrt(s))/(s*besseli(0, sqrt(s)))": (_cylinder_inside, [0.02, 0.1, 1, 5]),
    "besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))": (_radial_flow, [0.01, 1, 100, 1e4]),
    "besselk(0, 0.5*sqrt(s))/s": (_theis("0.5"), [0.001, 0.1, 10, 1e3]),
    "besselk(0, 0.1*sqrt(s))/s": (_theis("0.1"), [1e-4, 0.01, 1, 1e4]),
    "besselk(0, 10*sqrt(s))/s": (_theis(10), [1, 10, 1e3, 1e5]),
    "besselk(0, 30*sqrt(s))/s": (_theis(30), [5, 50, 1e4]),
    "besselk(0, 0.01*sqrt(s))/s": (_theis("0.01"), [1e-6, 1e-3, 1, 1e3]),
    "besselk(0, sqrt(s+1))/s": (_hantush(1, 1), [0.01, 1, 100]),
    "besselk(0, sqrt(s+0.01))/s": (_hantush(1, "0.01"), [0.1, 10, 1e3]),
    "besselk(0, 2*sqrt(s+0.25))/s": (_hantush(2, "0.25"), [0.1, 1, 100]),
    "besselk(0, sqrt(s+1))": (lambda t: mp.exp(-t - 1 / (4 * t)) / (2 * t), [0.05, 1, 20]),
})

# ---------------------------------------------------------------- diffusion in slabs, half-spaces
_section("diffusion", {
    "cosh(0.5*sqrt(s))/(s*cosh(sqrt(s)))": (_slab_inside, [0.001, 0.05, 0.5, 5]),
    "sinh(0.5*sqrt(s))/(s*sinh(sqrt(s)))": (_slab_between, [0.001, 0.05, 0.5, 5]),
    "1/(sqrt(s)*tanh(sqrt(s)))": (_theta3_like, [0.001, 0.1, 1, 10]),
    "tanh(sqrt(s))/(s*sqrt(s))": (_slab_flux_integral, [0.001, 0.1, 1, 100]),
    "1/(s*sqrt(s)*tanh(sqrt(s)))": (_slab_growth, [0.001, 0.1, 1, 100]),
    "1/(sqrt(s)*sinh(sqrt(s)))": (_theta4_like, [0.01, 0.1, 1, 10]),
    "(sqrt(s)/tanh(sqrt(s))-1)/s": (_sphere_flux, [0.001, 0.1, 1, 3]),
    "1/cosh(sqrt(s))": (_sech_root, [0.01, 0.1, 1, 5]),
    "exp(-s)*tanh(sqrt(s))/sqrt(s)": (lambda t: _tanh_root_over_root(t - 1) if t > 1 else mp.mpf(0),
                                      [0.5, 1.01, 2, 10]),
    "exp(-0.1*sqrt(s))/s": (lambda t: mp.erfc(mp.mpf("0.05") / mp.sqrt(t)), [1e-4, 0.01, 1]),
    "exp(-10*sqrt(s))/s": (lambda t: mp.erfc(5 / mp.sqrt(t)), [1, 10, 1e3]),
    "exp(-sqrt(s))/s**2": (lambda t: 4 * t * _i2erfc(1 / (2 * mp.sqrt(t))), [0.01, 1, 100]),
    "exp(-sqrt(s))/s**1.5": (lambda t: 2 * mp.sqrt(t) * _ierfc(1 / (2 * mp.sqrt(t))), [0.01, 1, 100]),
    "exp(-sqrt(s))/(sqrt(s)+1)": (
        lambda t: mp.exp(-1 / (4 * t)) / mp.sqrt(mp.pi * t)
        - mp.exp(1 + t) * mp.erfc(mp.sqrt(t) + 1 / (2 * mp.sqrt(t))), [0.01, 1, 100]),
    "exp(-sqrt(s))/(s*(sqrt(s)+1))": (
        lambda t: mp.erfc(1 / (2 * mp.sqrt(t))) - mp.exp(1 + t) * mp.erfc(mp.sqrt(t) + 1 / (2 * mp.sqrt(t))),
        [0.01, 1, 100]),
    "exp(-sqrt(s))/sqrt(s)": (lambda t: mp.exp(-1 / (4 * t)) / mp.sqrt(mp.pi * t), [0.01, 1, 100]),
    "exp(-4*sqrt(s))": (lambda t: 2 * mp.exp(-4 / t) / (mp.sqrt(mp.pi) * t ** mp.mpf(1.5)), [0.1, 1, 100]),
})

# ---------------------------------------------------------------- delays
_section("delay", {
    "exp(-0.5*s)/s**3": (lambda t: (t - mp.mpf(0.5)) ** 2 / 2 if t > 0.5 else mp.mpf(0), [0.25, 1, 10]),
    "exp(-s)/sqrt(s)": (lambda t: 1 / mp.sqrt(mp.pi * (t - 1)) if t > 1 else mp.mpf(0), [0.5, 1.001, 2, 100]),
    "exp(-s-sqrt(s))/s": (lambda t: mp.erfc(1 / (2 * mp.sqrt(t - 1))) if t > 1 else mp.mpf(0),
                          [0.5, 1.01, 2, 100]),
    "exp(-3*s)/(s**2+100)": (lambda t: mp.sin(10 * (t - 3)) / 10 if t > 3 else mp.mpf(0), [1, 3.5, 20]),
    "(1-exp(-s))**2/s**2": (lambda t: t if t < 1 else (2 - t if t < 2 else mp.mpf(0)), [0.5, 1.5, 2.5]),
    "exp(-s)/(s*(s+1))": (lambda t: -mp.expm1(-(t - 1)) if t > 1 else mp.mpf(0), [0.5, 1.001, 10]),
    "exp(-2*s)*besselk(0, sqrt(s))/s": (lambda t: mp.e1(1 / (4 * (t - 2))) / 2 if t > 2 else mp.mpf(0),
                                        [1, 2.1, 10]),
    "(exp(-s)-exp(-3*s))/s": (lambda t: mp.mpf(1) if 1 < t < 3 else mp.mpf(0), [0.5, 2, 4]),
    "exp(-0.001*s)/s": (lambda t: mp.mpf(1) if t > mp.mpf("0.001") else mp.mpf(0), [5e-4, 2e-3, 1]),
    "exp(-s)/(s+1)**2": (lambda t: (t - 1) * mp.exp(1 - t) if t > 1 else mp.mpf(0), [0.5, 2, 20]),
    "exp(-s)*atan(1/s)": (lambda t: mp.sin(t - 1) / (t - 1) if t > 1 else mp.mpf(0), [0.5, 1.5, 20]),
    "exp(-1000*s)/s**2": (lambda t: t - 1000 if t > 1000 else mp.mpf(0), [500, 1001, 1e4]),
    "exp(-s)*exp(-1/s)/s": (lambda t: mp.besselj(0, 2 * mp.sqrt(t - 1)) if t > 1 else mp.mpf(0), [0.5, 2, 20]),
    "exp(-0.5*s)*log(s)/s": (lambda t: -mp.euler - mp.log(t - mp.mpf(0.5)) if t > 0.5 else mp.mpf(0),
                             [0.25, 1, 10]),
})

# ---------------------------------------------------------------- periodic
_section("periodic", {
    "1/s**2-exp(-s)/(s*(1-exp(-s)))": (lambda t: t - mp.floor(t), [0.5, 3.25, 10.75, 100.5]),
    "1/((s**2+1)*(1-exp(-pi*s)))": (lambda t: max(mp.sin(t), 0), [1, 4, 20, 50]),
    "1/(s*cosh(s))": (_square4, [0.5, 2, 4.5, 10]),
    "exp(-s)/(s*(1-exp(-s)))": (lambda t: mp.floor(t), [0.5, 2.5, 10.5, 100.5]),
    "pi/((s**2+pi**2)*tanh(s/2))": (lambda t: abs(mp.sin(mp.pi * t)), [0.25, 3.5, 10.25]),
    "(1-exp(-s))/(s*(1-exp(-4*s)))": (lambda t: 1 if t - 4 * mp.floor(t / 4) < 1 else 0, [0.5, 2, 4.5, 10.5]),
    "1/(s**2*cosh(s))": (_ramp4, [0.5, 2, 5, 20.5]),
    "tanh(s)/s": (lambda t: (-1) ** int(mp.floor(t / 2)), [1, 3, 21, 101]),
})

# ---------------------------------------------------------------- essential singularities
_section("essential", {
    "exp(-4/s)/s": (lambda t: mp.besselj(0, 4 * mp.sqrt(t)), [0.1, 1, 20, 100]),
    "exp(-1/s)/s**3": (lambda t: t * mp.besselj(2, 2 * mp.sqrt(t)), [0.1, 1, 20]),
    "exp(2/s)/s": (lambda t: mp.besseli(0, 2 * mp.sqrt(2 * t)), [0.1, 1, 20]),
    "exp(-1/s)/s**1.5": (lambda t: mp.sin(2 * mp.sqrt(t)) / mp.sqrt(mp.pi), [0.1, 1, 20, 100]),
    "exp(1/s)/s**2": (lambda t: mp.sqrt(t) * mp.besseli(1, 2 * mp.sqrt(t)), [0.1, 1, 20]),
    "sin(1/s)/s": (lambda t: mp.im(_kelvin0(t)), [0.1, 1, 20]),
    "cos(1/s)/s": (lambda t: mp.re(_kelvin0(t)), [0.1, 1, 20]),
    "exp(-1/(s+1))/(s+1)": (lambda t: mp.exp(-t) * mp.besselj(0, 2 * mp.sqrt(t)), [0.1, 1, 20]),
    "exp(-0.01/s)/s": (lambda t: mp.besselj(0, mp.mpf("0.2") * mp.sqrt(t)), [1, 100, 1e4]),
    "1-exp(-1/s)": (lambda t: mp.besselj(1, 2 * mp.sqrt(t)) / mp.sqrt(t), [0.1, 1, 20]),
})

# ---------------------------------------------------------------- large and small scales
_section("scale", {
    "1e300/(s+1)": (lambda t: mp.mpf(10) ** 300 * mp.exp(-t), [0.1, 1, 10]),
    "1e-300*exp(-sqrt(s))/s": (lambda t: mp.mpf(10) ** -300 * mp.erfc(1 / (2 * mp.sqrt(t))), [0.1, 1, 100]),
    "1e300*besselk(0, sqrt(s))/s": (lambda t: mp.mpf(10) ** 300 * mp.e1(1 / (4 * t)) / 2, [0.1, 1, 100]),
    "1e-300/(s**2+1)": (lambda t: mp.mpf(10) ** -300 * mp.sin(t), [0.5, 5, 50]),
    "1e-300*(sqrt(s+1)-sqrt(s))": (
        lambda t: mp.mpf(10) ** -300 * -mp.expm1(-t) / (2 * mp.sqrt(mp.pi) * t ** mp.mpf(1.5)), [0.1, 1, 100]),
    "1e300*log(s)/s": (lambda t: mp.mpf(10) ** 300 * (-mp.euler - mp.log(t)), [0.1, 1, 100]),
    "1e-300*exp(-s)/s": (lambda t: mp.mpf(10) ** -300 if t > 1 else mp.mpf(0), [0.5, 2]),
    "1e300*(1/s-1/(s+1))": (lambda t: mp.mpf(10) ** 300 * -mp.expm1(-t), [0.01, 1, 20]),
    "1e300/(s**2+100)": (lambda t: mp.mpf(10) ** 300 * mp.sin(10 * t) / 10, [0.5, 5, 50]),
    "1e-300*besseli(1, sqrt(s))/(sqrt(s)*besseli(0, sqrt(s)))": (
        lambda t: mp.mpf(10) ** -300 * _cylinder_flux(t), [0.1, 1]),
})

# ---------------------------------------------------------------- zero crossings, cancellation
_ZERO_ERFC = _zero_of_erfc_pair()
_section("zeros", {
    "(1-s)/(s+1)**3": (lambda t: t * (t - 1) * mp.exp(-t), [0.5, 0.999999, 1, 1.000001, 3]),
    "s/(s**2+4)": (lambda t: mp.cos(2 * t), [0.7853981633974483, 0.785398, 2]),
    "1/sqrt(s**2+4)": (lambda t: mp.besselj(0, 2 * t), [1.2024127788478865, 1.2, 5]),
    "1/s-2/(s+1)": (lambda t: 1 - 2 * mp.exp(-t), [0.6931471805599453, 0.5, 2]),
    "exp(-sqrt(s))/s-0.5/s": (lambda t: mp.erfc(1 / (2 * mp.sqrt(t))) - mp.mpf(0.5), [_ZERO_ERFC, 0.5, 5]),
    "log(s)/s**2": (lambda t: t * (1 - mp.euler - mp.log(t)), [_zero_of_log_pair(), 0.01, 100]),
    "(s**2+2)/(s*(s**2+4))": (lambda t: mp.cos(t) ** 2, [1, 1.5707963267948966, 3, 10]),
    "1/(s**2+1)-1/(s**2+1.0009765625)": (
        lambda t: mp.sin(t) - mp.sin(mp.sqrt(W) * t) / mp.sqrt(W), [0.01, 1, 100]),
    "1/(s+1)-1/(s+1.0009765625)": (lambda t: mp.exp(-t) - mp.exp(-W * t), [0.01, 1, 100]),
})

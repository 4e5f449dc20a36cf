"""besseli_rust and besselk_rust: accuracy against mpmath, the Wronskian, the
edge values that follow from the method, the order and precision checks, and
the release of references and memory on every road."""

import math
import os

import mpmath
import pytest

from support import Probe, leaks, refcounts_unchanged, run_python

INF = float("inf")
NAN = float("nan")

# 2^-10 ... 700, log-spaced.
SAMPLE = [2.0 ** (-10 + i * (math.log2(700.0) + 10) / 119) for i in range(120)]
FUNCTIONS = {"I": ("besseli_rust", mpmath.besseli), "K": ("besselk_rust", mpmath.besselk)}


def exact(function, n, x):
    with mpmath.workdps(60):
        return FUNCTIONS[function][1](n, x)


def call(native, function, n, x, *prec):
    return getattr(native, FUNCTIONS[function][0])(n, x, *prec)


@pytest.mark.parametrize("n", [0, 1])
@pytest.mark.parametrize("function", ["I", "K"])
def test_default_precision_rounds_correctly_below_25_and_within_an_ulp_above(native, function, n):
    wrong = []
    for x in SAMPLE:
        got = call(native, function, n, x)
        expected = float(exact(function, n, x))
        tolerance = 0.0 if x < 25.0 else math.ulp(expected)
        if abs(got - expected) > tolerance:
            wrong.append((x, got, expected))
    assert wrong == []


def test_wronskian(native):
    """I0 K1 + I1 K0 = 1/x (DLMF 10.28.2), formed exactly from the four doubles."""
    for x in SAMPLE:
        i0, i1 = native.besseli_rust(0, x), native.besseli_rust(1, x)
        k0, k1 = native.besselk_rust(0, x), native.besselk_rust(1, x)
        with mpmath.workdps(60):
            w = mpmath.mpf(i0) * mpmath.mpf(k1) + mpmath.mpf(i1) * mpmath.mpf(k0)
            assert abs(w * x - 1) <= 4 * 2.0**-53, x


def same(a, b):
    """Equal as floats, NaN equal to NaN, and zeros of equal sign."""
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return a == b and math.copysign(1.0, a) == math.copysign(1.0, b)


EDGES = [
    ("I", 0, 0.0, 1.0), ("I", 0, -0.0, 1.0), ("I", 1, 0.0, 0.0), ("I", 1, -0.0, -0.0),
    ("K", 0, 0.0, INF), ("K", 0, -0.0, INF), ("K", 1, 0.0, NAN),  # I1(0) K0(0) = 0 * inf
    ("K", 0, -1.0, NAN), ("K", 1, -1.0, NAN),  # ln of a negative number
    ("I", 0, NAN, NAN), ("I", 1, NAN, NAN), ("I", 5, NAN, NAN), ("K", 5, NAN, NAN),
    ("I", 0, INF, NAN), ("I", 7, INF, NAN), ("I", 0, -INF, NAN), ("I", 1, -INF, NAN),
    ("K", 0, INF, 0.0), ("K", 0, -INF, NAN),
    ("I", 0, 714.0, INF), ("I", 1, -800.0, -INF),  # beyond the double range
    ("I", 0, -1e9, NAN),  # e^-x overflows MPFR's exponent range, e^x underflows
]


@pytest.mark.parametrize("function, n, x, expected", EDGES, ids=lambda v: repr(v))
def test_edge_values(native, function, n, x, expected):
    assert same(call(native, function, n, x), expected)


@pytest.mark.parametrize("x", [-3.0, -0.5, -24.0])
def test_negative_arguments_follow_parity(native, x):
    i0, i1 = native.besseli_rust(0, x), native.besseli_rust(1, x)
    assert i0 > 0 > i1
    assert abs(i0 - float(exact("I", 0, x))) <= math.ulp(i0)
    assert abs(i1 - float(exact("I", 1, x))) <= math.ulp(i1)


@pytest.mark.parametrize("function", ["I", "K"])
@pytest.mark.parametrize("x", [25.0, math.nextafter(25.0, 0), 24.9, math.nextafter(25.0, 30)])
def test_no_jump_at_the_method_threshold(native, function, x):
    for n in (0, 1):
        expected = float(exact(function, n, x))
        assert abs(call(native, function, n, x) - expected) <= math.ulp(expected)


def test_unsupported_order_fails_only_below_25(native, panic_type):
    for function in ("I", "K"):
        with pytest.raises(panic_type, match=r"^Only nu=0,1 supported$"):
            call(native, function, 2, 10.0)
        with pytest.raises(panic_type, match=r"^Only nu=0,1 supported$"):
            call(native, function, 2, 24.5)
        with pytest.raises(panic_type, match=r"^Only nu=0,1 supported$"):
            call(native, function, 4294967295, -INF)


@pytest.mark.parametrize("function", ["I", "K"])
@pytest.mark.parametrize("n, x", [(2, 30.0), (2, 25.0), (3, 100.0), (20, 700.0)])
def test_higher_orders_by_the_expansion(native, function, n, x):
    expected = float(exact(function, n, x))
    assert abs(call(native, function, n, x) - expected) <= 2 * math.ulp(expected)


@pytest.mark.parametrize("function", ["I", "K"])
def test_branch_is_chosen_on_x_rounded_to_the_working_precision(native, panic_type, function):
    # At prec=1 (14 bits) 25 - 2^-10 is a tie that rounds to 25.0: the
    # expansion, which serves any order; 25 - 2^-9 is representable: the series.
    assert math.isfinite(call(native, function, 2, 25.0 - 2.0**-10, 1))
    with pytest.raises(panic_type, match=r"^Only nu=0,1 supported$"):
        call(native, function, 2, 25.0 - 2.0**-9, 1)
    with pytest.raises(panic_type, match=r"^Only nu=0,1 supported$"):
        call(native, function, 2, 25.0 - 2.0**-10)


@pytest.mark.parametrize("function", ["I", "K"])
@pytest.mark.parametrize("x", [0.7, 10.0, 30.0])
def test_precision_zero_computes_with_ten_bits(native, function, x):
    got = call(native, function, 0, x, 0)
    mantissa, _ = math.frexp(got)
    assert (mantissa * 2**10).is_integer()  # at most 10 significant bits
    assert abs(got / float(exact(function, 0, x)) - 1) < 2.0**-5


def test_omitted_precision_means_34_digits(native):
    for x in (0.3, 24.0, 31.0):
        assert native.besseli_rust(1, x) == native.besseli_rust(1, x, 34)
        assert native.besselk_rust(1, x) == native.besselk_rust(1, x, 34)


@pytest.mark.parametrize("function", ["I", "K"])
@pytest.mark.parametrize("n, x, prec", [
    (0, 1.0, 1292913984), (5, 30.0, 2**32 - 1), (0, NAN, 1292913984),  # the working precision
    (0, 0.0, 1292913978), (1, -5.0, 1292913978), (5, -INF, 1292913978),  # series precision, c = 0
    (0, 24.99, 1292913967), (1, 24.99, 1292913967),  # c = 37
], ids=str)
def test_precision_out_of_range(native, panic_type, function, n, x, prec):
    # Before the order check and before anything is allocated: quick.
    with pytest.raises(panic_type, match=r"^precision out of range$"):
        call(native, function, n, x, prec)


MEMORY_LIMITED = """
import resource, sys
resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
from invlap import _native
for name, n, x, prec in {cases!r}:
    try:
        getattr(_native, name)(n, x, prec)
    except MemoryError as exc:
        assert str(exc).startswith("not enough memory for " + name), exc
    else:
        sys.exit(f"no MemoryError for {{name}}{{(n, x, prec)}}")
try:
    _native.besseli_rust(2, 10.0, 10**8)
except BaseException as exc:
    assert str(exc) == "Only nu=0,1 supported", exc
print("ok")
"""


@pytest.mark.skipif(os.environ.get("INVLAP_SANITIZE") == "1",
                    reason="AddressSanitizer cannot start under an address-space limit")
def test_precisions_beyond_memory_fail_with_memory_error_before_allocating():
    cases = [
        ("besseli_rust", 0, -1.0, 1292913977),  # series precision exactly 2^32 - 1
        ("besseli_rust", 1, 30.0, 1292913983),  # working precision 2^32 - 1
        ("besselk_rust", 0, 24.99, 1292913966),
        ("besselk_rust", 1, 1e3, 1292913983),
        ("besseli_rust", 0, 2.0, 10**8),  # 3.3e8 bits: gigabytes with MPFR's temporaries
        ("besselk_rust", 1, 2.0, 10**8),
    ]
    result = run_python(MEMORY_LIMITED.format(cases=cases))
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "ok"


INTERRUPTED = """
import signal, sys
from invlap import _native
def on_alarm(signum, frame):
    raise KeyboardInterrupt
signal.signal(signal.SIGALRM, on_alarm)
signal.setitimer(signal.ITIMER_REAL, 0.3)
try:
    _native.besseli_rust(0, -1e300, 10**7)  # 99999 passes at 33 million bits: minutes
except KeyboardInterrupt:
    print("interrupted", _native.besseli_rust(0, 1.0))
"""


def test_ctrl_c_ends_a_long_series():
    # Without polling the call would run on for minutes, far past the timeout.
    result = run_python(INTERRUPTED, timeout=15)
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["interrupted", repr(1.2660658777520084)]


class Order:
    """A fresh object whose __index__ gives an order, for reference counting."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


@pytest.mark.parametrize("function", ["besseli_rust", "besselk_rust"])
def test_reference_counts_on_success_and_failure(native, function):
    f = getattr(native, function)
    n, x, prec = Probe(), Probe(), Probe()
    assert refcounts_unchanged(lambda: f(n, x, prec), n, x, prec)
    two, big = Order(2), Order(1292913984)
    assert refcounts_unchanged(lambda: f(two, x), two, x)
    assert refcounts_unchanged(lambda: f(n, x, big), n, x, big)
    assert refcounts_unchanged(lambda: f(n, float("30.5"), prec), n, prec)


@pytest.mark.parametrize("function", ["besseli_rust", "besselk_rust"])
@pytest.mark.parametrize("args", [
    (0, 3.0), (1, 24.5), (1, 30.0), (0, -2.0), (1, 0.0), (0, 5.0, 80), (1, 40.0, 200),
    (2, 3.0), (0, 3.0, 1292913984), (1, 0.0, 1292913978),
], ids=str)
def test_no_leaks(native, capfd, function, args):
    f = getattr(native, function)
    assert not leaks(lambda: f(*args), per=100)
    capfd.readouterr()  # the failure reports of the failing calls

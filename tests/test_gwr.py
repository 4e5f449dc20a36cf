"""gwr_rust: values, the callback protocol, and the ways a call fails."""

import math

import gmpy2
import mpmath
import pytest

import gwr_reference


def exp_transform(s):
    return 1.0 / (s + 1.0)  # f(t) = exp(-t)


class Recorder:
    """A callable that keeps every argument tuple it is called with."""

    def __init__(self, fn=exp_transform, fail_at=None, error=None):
        self.fn, self.fail_at, self.error, self.calls = fn, fail_at, error, []

    def __call__(self, *args, **kwargs):
        self.calls.append((args, kwargs))
        if len(self.calls) == self.fail_at:
            raise self.error
        return self.fn(*args)


# --- values ----------------------------------------------------------------------

@pytest.mark.parametrize("m, weights, scale", [
    (1, [1, -1], 2),         # G1 = 2a (F(a) - F(2a))
    (2, [0, 1, -2, 1], 12),  # G2 = 12a (F(2a) - 2F(3a) + F(4a))
], ids=["m=1", "m=2"])
@pytest.mark.parametrize("t", [0.25, 1.0, 3.0])
def test_small_m_is_the_gaver_functional(native, m, weights, scale, t):
    # At 110 bits the sum's roundings stay far below a double's ulp, so the result
    # is the exact functional of the sampled doubles, rounded once, within 1 ulp.
    with mpmath.workprec(200):
        a = mpmath.log(2) / t
        values = [mpmath.mpf(exp_transform(float(k * a))) for k in range(1, len(weights) + 1)]
        want = scale * a * sum(w * v for w, v in zip(weights, values))
    got = native.gwr_rust(exp_transform, [t], m, 30)[0]
    assert got == pytest.approx(float(want), rel=2.3e-16)


def test_double_samples_limit_large_m(native):
    # F in doubles: m = 8 is accurate, m = 32 magnifies F's rounding into ~0.18.
    assert abs(native.gwr_rust(exp_transform, [1.0], 8)[0] - math.exp(-1)) < 1e-8
    assert abs(native.gwr_rust(exp_transform, [1.0], 32)[0] - 0.18) < 0.005


def test_default_precision_of_m5_is_11_digits(native):
    # round(2.1 * 5) = round(10.5) goes away from zero: 11 digits, 47 bits.
    times = [0.3, 1.0, 2.5]
    default = native.gwr_rust(exp_transform, times, 5)
    assert default == native.gwr_rust(exp_transform, times, 5, 11)
    assert default != native.gwr_rust(exp_transform, times, 5, 10)


SAMPLED = {
    "exp": exp_transform,
    "rsqrt": lambda s: 1.0 / math.sqrt(abs(s)),
    "step": lambda s: 1.0 / s,  # f = 1: its functionals tie early, so rho stops early
    "const": lambda s: 2.0,     # every functional is 0: rho stops at once
    "erfc": lambda s: math.exp(-math.sqrt(abs(s))) / s,
}
# Working precisions below 53 bits, between 53 and 128, and above; early stops come
# with the small ones. t = 0, negative and NaN times are not validated: inf and NaN run through.
BIT_EXACT_CASES = [(1, None), (2, 0), (3, 5), (4, 16), (5, None), (7, 3), (8, None),
                   (12, 40), (13, 0), (16, None), (21, 25), (32, None), (33, 70), (40, 15),
                   # Binomials whose exact recurrence just fits 24 bits or not, and
                   # binomials beyond 64 bits, which no machine integer holds.
                   (24, 4), (26, 4), (70, 50)]
TIMES = [0.5, 1.0, 3.0, 10.0, -1.0, 0.0, math.nan]


@pytest.mark.parametrize("name", SAMPLED)
@pytest.mark.parametrize("m, prec", BIT_EXACT_CASES, ids=[f"m={m},prec={p}" for m, p in BIT_EXACT_CASES])
def test_bit_for_bit_equal_to_plain_mpfr_rendering(native, name, m, prec):
    fn = SAMPLED[name]
    got = native.gwr_rust(fn, TIMES, m, prec)
    want = gwr_reference.gwr(fn, TIMES, m, prec)
    assert [x.hex() for x in got] == [x.hex() for x in want]


def test_zero_difference_inside_an_even_column_keeps_its_first_entry(native):
    # At 10 bits (prec=0) and t = ln 2 rounded to 10 bits, a = 1 exactly and the
    # points are 1 ... 8. These samples make G = (12, 36, 60, 280): rho column 1 is
    # (1/24, 1/24, 1/220), so column 2 gets its first entry 60 + 2/(1/220 - 1/24)
    # = 6.12 (6.125 at 10 bits) and then meets an exactly zero difference.
    with gmpy2.context(precision=10):
        t = float(gmpy2.log(2))
    samples = {1.0: 6.0, 2.0: 0.0, 3.0: 0.0, 4.0: 3.0, 5.0: 4.0, 6.0: 2.0, 7.0: 0.0, 8.0: 2.0}
    assert native.gwr_rust(samples.__getitem__, [t], 4, 0) == [6.125]
    assert gwr_reference.gwr(samples.__getitem__, [t], 4, 0) == [6.125]


# --- the callback protocol -------------------------------------------------------

def test_two_m_calls_per_time_at_k_ln2_over_t(native):
    fn = Recorder()
    times, m = [0.7, 2.0], 32
    native.gwr_rust(fn, times, m)
    bits = gwr_reference.working_bits(m, None)
    expected = [s for t in times for s in gwr_reference.sample_points(t, m, bits)[1]]
    assert [kwargs for _, kwargs in fn.calls] == [{}] * 2 * m * len(times)
    assert all(len(args) == 1 and type(args[0]) is float for args, _ in fn.calls)
    assert [args[0] for args, _ in fn.calls] == expected


def test_exception_ends_the_call_as_the_same_object(native):
    m, boom = 6, ValueError("boom")
    fn = Recorder(fail_at=2 * 6 + 3, error=boom)  # the third call for the second time
    with pytest.raises(ValueError) as caught:
        native.gwr_rust(fn, [1.0, 2.0, 3.0], m)
    assert caught.value is boom
    assert len(fn.calls) == 2 * m + 3
    assert any(tb.tb_frame.f_code is Recorder.__call__.__code__
               for tb in _traceback_entries(caught.value.__traceback__))


def _traceback_entries(tb):
    while tb is not None:
        yield tb
        tb = tb.tb_next


@pytest.mark.parametrize("m", [0, 1, 32])
def test_empty_times_never_calls(native, m):
    fn = Recorder()
    assert native.gwr_rust(fn, [], m) == []
    assert native.gwr_rust(42, [], m) == []  # not callable, never called
    assert fn.calls == []


class FloatLike:
    def __float__(self):
        return 0.5


class IndexLike:
    def __index__(self):
        return 2


@pytest.mark.parametrize("returned, same_as", [
    (3, 3.0), (FloatLike(), 0.5), (IndexLike(), 2.0), (True, 1.0)],
    ids=["int", "__float__", "__index__", "bool"])
def test_results_convertible_to_float_are_accepted(native, returned, same_as):
    assert native.gwr_rust(lambda s: returned, [1.0], 3) == \
        native.gwr_rust(lambda s: same_as, [1.0], 3)


@pytest.mark.parametrize("returned, error, message", [
    ("1.0", TypeError, "must be real number, not str"),
    (None, TypeError, "must be real number, not NoneType"),
    (10**400, OverflowError, "int too large to convert to float"),
], ids=["str", "None", "huge-int"])
def test_unconvertible_result_fails_without_argument_prefix(native, returned, error, message):
    with pytest.raises(error) as caught:
        native.gwr_rust(lambda s: returned, [1.0], 4)
    assert type(caught.value) is error and str(caught.value) == message


def test_non_callable_fails_at_first_call(native):
    with pytest.raises(TypeError) as caught:
        native.gwr_rust(42, [1.0], 4)
    assert str(caught.value) == "'int' object is not callable"


def test_nested_internal_failure_is_resumed(native, panic_type):
    escaped = []

    def fn(s):
        try:
            return native.gwr_rust(exp_transform, [1.0], 0)[0]  # fails internally
        except BaseException as exc:
            escaped.append(exc)
            raise

    with pytest.raises(panic_type) as caught:
        native.gwr_rust(fn, [1.0], 4)
    assert type(caught.value) is panic_type and caught.value is not escaped[0]
    assert caught.value.args == ("m must be at least 1 to invert at a time point",)


def test_callback_may_call_gwr_rust_again(native):
    def fn(s):
        inner = native.gwr_rust(exp_transform, [1.0], 3)[0]
        return exp_transform(s) + 0.0 * inner

    assert native.gwr_rust(fn, [0.5, 2.0], 6) == native.gwr_rust(exp_transform, [0.5, 2.0], 6)


# --- failures before the first callback --------------------------------------------

# The largest precision in range, 4294967295 bits: m = 0 makes two values of
# it (half a GiB each) and nothing else, so neither call may be refused for
# memory it never allocates.
@pytest.mark.parametrize("prec", [None, 1292913983], ids=["default", "largest"])
def test_m_zero_with_a_time_is_an_internal_failure(native, panic_type, prec):
    fn = Recorder()
    with pytest.raises(panic_type) as caught:
        native.gwr_rust(fn, [1.0], 0, prec)
    assert str(caught.value) == "m must be at least 1 to invert at a time point"
    assert fn.calls == []


def test_m_zero_without_times_at_the_largest_precision(native):
    assert native.gwr_rust(Recorder(), [], 0, 1292913983) == []


@pytest.mark.parametrize("times", [[1.0], []], ids=["one-time", "no-time"])
@pytest.mark.parametrize("m", [2**20, 2**40, 2**63, 2**64 - 1])
def test_tables_that_cannot_fit_raise_memory_error(native, m, times):
    # Refused before any value is made; the tables are built even without a time.
    fn = Recorder()
    with pytest.raises(MemoryError, match="^not enough memory for the GWR tables: "):
        native.gwr_rust(fn, times, m, 15)
    assert fn.calls == []


def test_default_precision_of_huge_m_is_out_of_range(native, panic_type):
    # round(2.1 * 2^40) digits are beyond 4294967295 bits, checked before memory.
    with pytest.raises(panic_type) as caught:
        native.gwr_rust(exp_transform, [1.0], 2**40)
    assert str(caught.value) == "precision out of range"


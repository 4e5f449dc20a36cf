"""Constants of any size reach the engine exactly, and a literal the interpreter
cannot read is an ExpressionError that says where it is."""

import mpmath
import pytest
import sympy

import invlap

S = sympy.Symbol("s")


# F = c/s has f(t) = c at every t: the value is the constant itself.
@pytest.mark.parametrize("F, exact", [
    ("2**20000/s", (2, 20000)),       # 6021 decimal digits once folded
    ("2**-20000/s", (2, -20000)),
    (sympy.Rational(1, 10**5000) / S, (10, -5000)),
    (sympy.Integer(3) ** 9000 / S, (3, 9000)),
], ids=["2**20000", "2**-20000", "sympy-1/10**5000", "sympy-3**9000"])
def test_huge_constants_cross_exactly(F, exact):
    base, power = exact
    with mpmath.workdps(30):
        value = invlap.invert(F, 1.0, digits=20, output="mpmath")
        assert abs(value / mpmath.mpf(base) ** power - 1) < mpmath.mpf(10) ** -19


def test_a_decimal_literal_past_the_interpreters_limit_is_placed():
    text = "1/(s+" + "7" * 5001 + ")"
    with pytest.raises(invlap.ExpressionError) as caught:
        invlap.compile_expression(text)
    assert caught.value.position == 5
    assert caught.value.fragment == "7" * 5001
    assert str(caught.value).startswith(
        "number '" + "7" * 36 + "..." + "7" * 36 + "' is out of range at position 5 in ")
    assert str(caught.value).endswith(
        "; at most 4300 decimal digits in one integer; write a larger one as a power "
        "(10**5000) or in hexadecimal (0x...)")

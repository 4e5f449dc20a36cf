"""Transforms as expressions: the programs they compile to, what they mean (checked
with mpmath at 50 digits), and how bad ones are refused."""

import doctest
import math
import operator
import pickle
import re
import time

import mpmath as mp
import pytest

import invlap
import invlap.expression
import invlap._expression.compiler
from invlap import ExpressionError, compile_expression
from support import run_python

KNOWN = "known names: s, pi, e, euler"
FUNCTIONS = ("functions: sqrt, exp, log, sin, cos, tan, sinh, cosh, tanh, asinh, acosh, "
             "atanh, atan, erf, erfc, gamma, besseli, besselk, besselj, bessely")
OPERATORS = "operators: + - * / ** and unary + -"

UNARY = {"neg": operator.neg, "sqrt": mp.sqrt, "exp": mp.exp, "log": mp.log, "sin": mp.sin,
         "cos": mp.cos, "tan": mp.tan, "sinh": mp.sinh, "cosh": mp.cosh, "tanh": mp.tanh,
         "asinh": mp.asinh, "acosh": mp.acosh, "atanh": mp.atanh, "atan": mp.atan,
         "erf": mp.erf, "erfc": mp.erfc, "gamma": mp.gamma}
BINARY = {"add": operator.add, "sub": operator.sub, "mul": operator.mul,
          "div": operator.truediv, "pow": operator.pow}
BESSEL = {"besseli": mp.besseli, "besselk": mp.besselk, "besselj": mp.besselj,
          "bessely": mp.bessely}


def run(program, s, **params):
    """F(s) by the program at 50 digits, checking the program's form on the way."""
    assert len(set(program.code)) == len(program.code)
    assert len(set(program.constants)) == len(program.constants)
    assert all(q > 0 and math.gcd(p, q) == 1 for p, q in program.constants)
    with mp.workdps(50):
        values = []
        for op, a, b in program.code:
            if op in BINARY:
                assert max(a, b) < len(values)
                value = BINARY[op](values[a], values[b])
            elif op in UNARY or op == "powi":
                assert a < len(values) and (op == "powi" or b == 0)
                value = values[a] ** b if op == "powi" else UNARY[op](values[a])
            elif op in BESSEL:
                assert a < len(values) and b >= 0
                value = BESSEL[op](b, values[a])
            elif op == "const":
                value = mp.mpf(program.constants[a][0]) / program.constants[a][1]
            elif op == "param":
                value = mp.mpf(params[program.params[a]])
            else:
                assert b == 0 and (op == "s" or a == 0)
                value = {"s": mp.mpf(s), "pi": +mp.pi, "e": +mp.e, "euler": +mp.euler}[op]
            values.append(value)
        return values[-1]


def agrees(x, y):
    # Both sides are rounded at 50 digits a few dozen times at most.
    return mp.almosteq(x, y, rel_eps=mp.mpf(10)**-45, abs_eps=mp.mpf(10)**-45)


PROGRAMS = {
    "shared-subexpressions": ("besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))", [], (
        ("s", 0, 0), ("sqrt", 0, 0), ("besselk", 1, 0), ("mul", 0, 1), ("besselk", 1, 1),
        ("mul", 3, 4), ("div", 2, 5)), ()),
    "parameter": ("besselk(0, r*sqrt(s))/s", ["r"], (
        ("param", 0, 0), ("s", 0, 0), ("sqrt", 1, 0), ("mul", 0, 2), ("besselk", 3, 0),
        ("div", 4, 1)), ()),
    "third": ("1/3", [], (("const", 0, 0),), ((1, 3),)),
    "negative-power": ("2**-1", [], (("const", 0, 0),), ((1, 2),)),
    "decimal": ("0.1", [], (("const", 0, 0),), ((1, 10),)),
    "exponents": ("1e-3 + 2.5E+2*s", [], (
        ("s", 0, 0), ("const", 0, 0), ("mul", 1, 0), ("const", 1, 0), ("add", 3, 2)),
        ((250, 1), (1, 1000))),
    "folded-then-negated": ("(1 + 2)*s - -0.5", [], (
        ("s", 0, 0), ("const", 0, 0), ("mul", 1, 0), ("const", 1, 0), ("sub", 2, 3)),
        ((3, 1), (-1, 2))),
    "constants-once": ("2*s + 2*pi + 4/2", [], (
        ("s", 0, 0), ("const", 0, 0), ("mul", 1, 0), ("pi", 0, 0), ("mul", 1, 3),
        ("add", 2, 4), ("add", 5, 1)), ((2, 1),)),
    "powi": ("s**2 + s**-3 + s**2.0", [], (
        ("s", 0, 0), ("powi", 0, 2), ("powi", 0, -3), ("add", 1, 2), ("add", 3, 1)), ()),
    "powi-bound": ("s**2147483647 + s**2147483648", [], (
        ("s", 0, 0), ("powi", 0, 2147483647), ("const", 0, 0), ("pow", 0, 2), ("add", 1, 3)),
        ((2147483648, 1),)),
    "sqrt": ("s**(1/2) + s**0.5", [], (("s", 0, 0), ("sqrt", 0, 0), ("add", 1, 1)), ()),
    "pow": ("s**1.5 + s**a", ["a"], (
        ("s", 0, 0), ("const", 0, 0), ("pow", 0, 1), ("param", 0, 0), ("pow", 0, 3),
        ("add", 2, 4)), ((3, 2),)),
    "too-large-to-fold": ("10**10**10", [], (("const", 0, 0), ("const", 1, 0), ("pow", 0, 1)),
                          ((10, 1), (10**10, 1))),
    "signs": ("-s + +s", [], (("s", 0, 0), ("neg", 0, 0), ("add", 1, 0)), ()),
    "bessel-order-folded": ("besselj(2-1, s)", [], (("s", 0, 0), ("besselj", 0, 1)), ()),
    "lines-and-comment": ("\n  1/(s +\n 1)  # note\n", [], (
        ("s", 0, 0), ("const", 0, 0), ("add", 0, 1), ("div", 1, 2)), ((1, 1),)),
}


@pytest.mark.parametrize("source, params, code, constants", PROGRAMS.values(), ids=PROGRAMS)
def test_program(source, params, code, constants):
    program = compile_expression(source, params)
    assert (program.code, program.constants, program.params) == (code, constants, tuple(params))


# (F, its parameter a if it has one, F written for mpmath)
MEANINGS = {
    "shift": ("1/(s+1)", {}, lambda s: 1 / (s + 1)),
    "operand-order": ("(s - a)/(a*s**-2) - 2**-3", {"a": 0.375},
                      lambda s: (s - 0.375) / (0.375 / s**2) - 0.125),
    "power": ("s**a * s**(1/3)", {"a": 0.375}, lambda s: s**0.375 * mp.cbrt(s)),
    "elementary": ("exp(-sqrt(s))/s*log(s) + sin(s)*cos(s)*tan(s) + pi*e*euler - 0.1", {},
                   lambda s: mp.exp(-mp.sqrt(s)) / s * mp.log(s) + mp.sin(s) * mp.cos(s)
                   * mp.tan(s) + mp.pi * mp.e * mp.euler - mp.mpf(1) / 10),
    "hyperbolic-and-special": (
        "sinh(s) + cosh(s) + tanh(s) + asinh(s) + acosh(s + 1) + atanh(1/(s + 2)) + atan(s)"
        " + erf(s) + erfc(s) + gamma(s)", {},
        lambda s: mp.sinh(s) + mp.cosh(s) + mp.tanh(s) + mp.asinh(s) + mp.acosh(s + 1)
        + mp.atanh(1 / (s + 2)) + mp.atan(s) + mp.erf(s) + mp.erfc(s) + mp.gamma(s)),
    "bessel": ("besseli(1, s) + besselk(2, s) - besselj(0, s)*bessely(3, s)", {},
               lambda s: mp.besseli(1, s) + mp.besselk(2, s) - mp.besselj(0, s) * mp.bessely(3, s)),
}


@pytest.mark.parametrize("source, params, reference", MEANINGS.values(), ids=MEANINGS)
@pytest.mark.parametrize("s", [0.75, 2.5])
def test_program_computes_the_transform(source, params, reference, s):
    program = compile_expression(source, list(params))
    with mp.workdps(50):
        assert agrees(run(program, s, **params), reference(mp.mpf(s)))


ERRORS = {
    "unknown-name": ("besselk(0, rr*sqrt(s))/s", ["r"], 11, "rr",
                     f"unknown name 'rr' at position 11 in \"besselk(0, rr*sqrt(s))/s\"; "
                     f"{KNOWN}, r; {FUNCTIONS}"),
    "non-ascii": ("é*s + rr", ["é"], 6, "rr",
                  f"unknown name 'rr' at position 6 in \"é*s + rr\"; {KNOWN}, é; {FUNCTIONS}"),
    "second-line": ("(s +\n  é)", [], 7, "é",
                    f"unknown name 'é' at position 7 in \"(s +\n  é)\"; {KNOWN}; {FUNCTIONS}"),
    "caret": ("s^2", [], 1, "^", 'operator \'^\' is not supported at position 1 in "s^2"; '
              "use ** for powers"),
    "caret-past-comment": ("(s # a^b\n ^ 2)", [], 10, "^",
                           "operator '^' is not supported at position 10 in \"(s # a^b\n ^ 2)\"; "
                           "use ** for powers"),
    "floor-division": ("s // 2", [], 2, "//",
                       f"operator '//' is not supported at position 2 in \"s // 2\"; {OPERATORS}"),
    "syntax": ("é +* 2", ["é"], 3, "*", 'syntax error at position 3 in "é +* 2"; invalid syntax'),
    "juxtaposed": ("2 s", [], 0, "2", 'syntax error at position 0 in "2 s"; invalid syntax: '
                   "two terms side by side need an operator such as *"),
    "never-closed": ("1/(s+1", [], 2, "(",
                     "syntax error at position 2 in \"1/(s+1\"; '(' was never closed"),
    "unmatched": ("  s) + (s", [], 3, ")",
                  "syntax error at position 3 in \"  s) + (s\"; unmatched ')'"),
    "unused-parameter": ("1/(s+a)", ["a", "q"], None, "q",
                         "parameter 'q' does not appear in \"1/(s+a)\""),
    "reserved-parameter": ("s", ["euler"], None, None,
                           "parameter 'euler' is a reserved name in \"s\"; "
                           f"reserved names: s, pi, e, euler; {FUNCTIONS}"),
    "import": ("__import__('os')", [], 0, "__import__",
               f"'__import__' is not a function at position 0 in \"__import__('os')\"; {FUNCTIONS}"),
    "dunder": ("().__class__", [], 0, "().__class__",
               "attribute access '().__class__' is not allowed at position 0 in \"().__class__\""),
    "attribute": ("s.real", [], 0, "s.real",
                  "attribute access 's.real' is not allowed at position 0 in \"s.real\""),
    "subscript": ("[s][0]", [], 0, "[s][0]",
                  "subscript '[s][0]' is not allowed at position 0 in \"[s][0]\""),
    "lambda": ("lambda: s", [], 0, "lambda: s",
               "lambda 'lambda: s' is not allowed at position 0 in \"lambda: s\""),
    "f-string": ("f'{s}'", [], 0, "f'{s}'",
                 "f-string \"f'{s}'\" is not allowed at position 0 in \"f'{s}'\""),
    "walrus": ("(x := s)", [], 1, "x := s",
               "assignment expression 'x := s' is not allowed at position 1 in \"(x := s)\""),
    "comprehension": ("[x for x in s]", [], 0, "[x for x in s]", "comprehension "
                      "'[x for x in s]' is not allowed at position 0 in \"[x for x in s]\""),
    "tuple": ("s, 1", [], 0, "s, 1", "tuple 's, 1' is not allowed at position 0 in \"s, 1\""),
    "keyword": ("sqrt(x=s)", [], 5, "x=s",
                "keyword argument 'x=s' is not allowed at position 5 in \"sqrt(x=s)\""),
    "function-as-value": ("sqrt + 1", [], 0, "sqrt", "function 'sqrt' used as a value at "
                          "position 0 in \"sqrt + 1\"; call it as sqrt(x)"),
    "call-of-name": ("s(2)", [], 0, "s", f"'s' is not a function at position 0 in \"s(2)\"; {FUNCTIONS}"),
    "too-many-arguments": ("sqrt(1, 2)", [], 0, "sqrt(1, 2)", "wrong number of arguments in "
                           "'sqrt(1, 2)' at position 0 in \"sqrt(1, 2)\"; use sqrt(x)"),
    "too-few-arguments": ("1 + besselk(s)", [], 4, "besselk(s)", "wrong number of arguments in "
                          "'besselk(s)' at position 4 in \"1 + besselk(s)\"; use besselk(n, x)"),
    "order-parameter": ("besselk(n, s)", ["n"], 8, "n", "besselk order 'n' is not an integer "
                        "from 0 to 1000000 at position 8 in \"besselk(n, s)\""),
    "order-negative": ("besseli(-1, s)", [], 8, "-1", "besseli order '-1' is not an integer "
                       "from 0 to 1000000 at position 8 in \"besseli(-1, s)\""),
    "order-fraction": ("bessely(0.5, s)", [], 8, "0.5", "bessely order '0.5' is not an integer "
                       "from 0 to 1000000 at position 8 in \"bessely(0.5, s)\""),
    "order-too-large": ("besselj(10**6 + 1, s)", [], 8, "10**6 + 1", "besselj order '10**6 + 1' "
                        "is not an integer from 0 to 1000000 at position 8 in "
                        "\"besselj(10**6 + 1, s)\""),
    "complex": ("s + 1j", [], 4, "1j", "complex number '1j' is not allowed at position 4 in \"s + 1j\""),
    "string": ("'0.1'", [], 0, "'0.1'", "string \"'0.1'\" is not allowed at position 0 in \"'0.1'\""),
    "boolean": ("s*True", [], 2, "True", "boolean 'True' is not allowed at position 2 in \"s*True\""),
    "division-by-zero": ("s + 1/(2-2)", [], 4, "1/(2-2)",
                         "division by zero in '1/(2-2)' at position 4 in \"s + 1/(2-2)\""),
    "huge-literal": ("1e100000", [], 0, "1e100000", "number '1e100000' is out of range at "
                     "position 0 in \"1e100000\"; at most 262144 bits exactly"),
    "empty": (" \n", [], None, None, 'empty expression in " \n"'),
}


@pytest.mark.parametrize("source, params, position, fragment, message", ERRORS.values(), ids=ERRORS)
def test_bad_expression(source, params, position, fragment, message):
    with pytest.raises(ExpressionError) as caught:
        compile_expression(source, params)
    error = caught.value
    assert (str(error), error.position, error.fragment) == (message, position, fragment)
    assert error.expression == source


DEEP = {
    "parentheses": ("(" * 10000 + "s" + ")" * 10000, 199),
    "minus": ("-" * 10000 + "s", None),
    "powers": ("s**" * 10000 + "s", None),
    "calls": ("sqrt(" * 10000 + "s" + ")" * 10000, 999),
    "long-sum": ("s+" * 20000 + "s", None),
}


@pytest.mark.parametrize("source, position", DEEP.values(), ids=DEEP)
def test_deep_nesting_is_refused(source, position):
    with pytest.raises(ExpressionError) as caught:
        compile_expression(source)
    assert caught.value.position == position


def test_trees_deeper_than_the_recursion_limit_compile():
    program = compile_expression("s+" * 5000 + "s")
    assert len(program.code) == 5001 and program.code[-1] == ("add", 4999, 0)


def test_limits_on_size(monkeypatch):
    with pytest.raises(ExpressionError) as caught:
        compile_expression("s" * 100_001)
    assert str(caught.value) == f'expression too long in "{"s" * 160}..."; 100001 characters, at most 100000'
    monkeypatch.setattr(invlap._expression.compiler, "MAX_INSTRUCTIONS", 3)
    with pytest.raises(ExpressionError) as caught:
        compile_expression("s*s*s*s")
    assert str(caught.value) == 'expression too long in "s*s*s*s"; more than 3 instructions'


def test_compiled_form_is_cached_plain_data():
    program = compile_expression("1/(s+a) + b", ("a", "b"))
    assert compile_expression("1/(s+a) + b", ["a", "b"]) is program
    assert compile_expression("1/(s+a) + b", ["b", "a"]).code[1] == ("param", 1, 0)
    assert pickle.loads(pickle.dumps(program)) == program and hash(program) is not None
    assert str(program) == "1/(s+a) + b"
    # Compiled where a Dask graph is built, it is taken back as it is where the graph runs.
    assert compile_expression(program, ["a", "b"]) is program
    with pytest.raises(ExpressionError) as caught:
        compile_expression(program, ["a"])
    assert str(caught.value) == "compiled for parameters ('a', 'b'), not ('a',) in \"1/(s+a) + b\""


def test_error_is_a_value_error_that_pickles():
    with pytest.raises(ValueError) as caught:
        compile_expression("s + x")
    again = pickle.loads(pickle.dumps(caught.value))
    assert type(again) is invlap.ExpressionError
    assert (str(again), again.expression, again.position, again.fragment) == (
        str(caught.value), "s + x", 4, "x")


def test_only_strings_and_sympy_expressions():
    with pytest.raises(TypeError) as caught:
        compile_expression(lambda s: 1 / s)
    assert str(caught.value) == "F must be a string or a SymPy expression, not function"


def test_import_leaves_sympy_alone():
    result = run_python("import sys, invlap\ninvlap.compile_expression('s')\n"
                        "assert 'sympy' not in sys.modules")
    assert result.returncode == 0, result.stderr


def test_docstring_examples():
    results = doctest.testmod(invlap.expression)
    assert results.attempted and not results.failed


@pytest.fixture
def sympy():
    return pytest.importorskip("sympy")


def sympy_cases(sympy):
    """(F in SymPy, the same F as a string, its parameters)"""
    s, r = sympy.symbols("s r")
    root = sympy.sqrt(s)
    return {
        "well": (sympy.besselk(0, r * root) / s, "besselk(0, r*sqrt(s))/s", ["r"]),
        "radial": (sympy.besselk(0, root) / (s * root * sympy.besselk(1, root)),
                   "besselk(0, sqrt(s))/(s*sqrt(s)*besselk(1, sqrt(s)))", []),
        "constants": ((s - r) / (3 * s**2 + sympy.E) * sympy.EulerGamma * sympy.pi,
                      "(s - r)/(3*s**2 + e)*euler*pi", ["r"]),
        "powers": (s**sympy.Rational(3, 2) + 1 / root + r**-3, "s**1.5 + s**-0.5 + r**-3", ["r"]),
        # Float(0.1) holds the double nearest 0.1; it means 1/10, as the literal does.
        "float": (sympy.Float(0.1) * s + sympy.Float("0.3", 30) / s, "0.1*s + 0.3/s", []),
        "functions": (sympy.exp(-s) * sympy.log(s) + sympy.erfc(s) * sympy.gamma(s)
                      + sympy.atanh(1 / s) + sympy.besselj(2, s),
                      "exp(-s)*log(s) + erfc(s)*gamma(s) + atanh(1/s) + besselj(2, s)", []),
    }


@pytest.mark.parametrize("case", ["well", "radial", "constants", "powers", "float", "functions"])
def test_sympy_input_means_what_the_string_means(sympy, case):
    F, text, params = sympy_cases(sympy)[case]
    program = compile_expression(F, params)
    assert program.source == str(F) and compile_expression(F, params) is program
    for s in (0.75, 2.5):
        assert agrees(run(program, s, r=0.3), run(compile_expression(text, params), s, r=0.3))


def test_sympy_float_is_its_decimal_digits(sympy):
    s = sympy.Symbol("s")
    assert compile_expression(sympy.Float(0.1) * s).constants == ((1, 10),)


def sympy_refusals(sympy):
    s, x = sympy.symbols("s x")
    return {
        "imaginary": (s + sympy.I, f"SymPy ImaginaryUnit 'I' is not supported in \"s + I\"; {FUNCTIONS}"),
        "infinity": (s * sympy.oo, f"SymPy Infinity 'oo' is not supported in \"oo*s\"; {FUNCTIONS}"),
        "nan": (s + sympy.nan, f"SymPy NaN 'nan' is not supported in \"nan\"; {FUNCTIONS}"),
        "piecewise": (sympy.Piecewise((s, s > 1), (1, True)), "SymPy Piecewise 'Piecewise((s, s > 1), "
                      f"(1, True))' is not supported in \"Piecewise((s, s > 1), (1, True))\"; {FUNCTIONS}"),
        "unknown-function": (sympy.Function("f")(s), f"SymPy f 'f(s)' is not supported in \"f(s)\"; {FUNCTIONS}"),
        "symbol-named-function": (s + sympy.Symbol("sqrt"), "SymPy Symbol 'sqrt' has a reserved name in "
                                  "\"s + sqrt\"; use sympy.pi, sympy.E, sympy.EulerGamma or the functions"),
        "unknown-symbol": (s + x, f"unknown name 'x' in \"s + x\"; {KNOWN}; {FUNCTIONS}"),
    }


@pytest.mark.parametrize("case", ["imaginary", "infinity", "nan", "piecewise", "unknown-function",
                                  "symbol-named-function", "unknown-symbol"])
def test_sympy_input_refused(sympy, case):
    F, message = sympy_refusals(sympy)[case]
    with pytest.raises(ExpressionError) as caught:
        compile_expression(F)
    assert str(caught.value) == message


def test_sympy_too_deep_or_too_long_is_refused_before_printing(sympy):
    s = sympy.Symbol("s")
    deep = s
    for _ in range(3000):
        deep = sympy.exp(deep)
    # Printing orders the terms, which for these 20,000 took minutes.
    wide = sympy.Add(*[s**k for k in range(1, 20_001)], evaluate=False)
    # A few nodes a step, shared, and twice the text each step: 2**40 times s.
    shared = s
    for _ in range(40):
        shared = shared * (shared + 1)
    too_long = r'expression too long in "<SymPy {} of {} arguments>"; at least \d+ characters, ' \
               r"at most 100000"
    for F, message in [
            (deep, re.escape('expression nested too deeply in "<SymPy exp of 1 argument>"; '
                             "more than 150 levels")),
            (wide, too_long.format("Add", 20000)),
            (shared, too_long.format("Mul", 41))]:
        start = time.monotonic()
        with pytest.raises(ExpressionError, match=f"^{message}$"):
            compile_expression(F)
        assert time.monotonic() - start < 5  # generous: a refusal takes milliseconds


def test_sympy_unused_parameter(sympy):
    with pytest.raises(ExpressionError) as caught:
        compile_expression(sympy.Symbol("s") + sympy.E, ["a"])
    # Quoted as SymPy writes F, not as printed for the compiler ("s + e").
    assert str(caught.value) == "parameter 'a' does not appear in \"s + E\""

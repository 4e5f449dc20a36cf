"""Whether a term the shift theorem leaves is the transform of a function of t >= 0.

The theorem writes exp(-d s) G(s) as g(t - d), nought before d, which holds only
where G is itself a Laplace transform: bounded by a power of s far out on the
real axis. exp(-s) * besseli(0, s) is not taken apart so: I0(s) grows like e^s,
its inverse reaches back to t = -1, and f, 1/(pi sqrt(t (2 - t))) on (0, 2),
came back as 0 before t = 1 with an estimate of 0.
"""

import ast

import mpmath

from invlap._expression.parser import Source

__all__ = ["grows_exponentially"]

# |G| is read at these two points of the real axis: a power s^k or a logarithm
# changes log|G| between them by at most |k| ln 2, a growth like e^(c s) by
# c * 10^6, so that rates above LEAST_RATE stand out for any power up to
# k = 14 (a growth slower than that reaches back less than 10^-5 before d).
FAR = (10**6, 2 * 10**6)
LEAST_RATE = 1e-5

_UNARY = {"sqrt": mpmath.sqrt, "exp": mpmath.exp, "log": mpmath.log, "sin": mpmath.sin,
          "cos": mpmath.cos, "tan": mpmath.tan, "sinh": mpmath.sinh, "cosh": mpmath.cosh,
          "tanh": mpmath.tanh, "asinh": mpmath.asinh, "acosh": mpmath.acosh,
          "atanh": mpmath.atanh, "atan": mpmath.atan, "erf": mpmath.erf, "erfc": mpmath.erfc,
          "gamma": mpmath.gamma}
_BESSEL = {"besseli": mpmath.besseli, "besselk": mpmath.besselk, "besselj": mpmath.besselj,
           "bessely": mpmath.bessely}
_CONSTANTS = {"pi": mpmath.pi, "e": mpmath.e, "euler": mpmath.euler}
_BINARY = {ast.Add: lambda a, b: a + b, ast.Sub: lambda a, b: a - b,
           ast.Mult: lambda a, b: a * b, ast.Div: lambda a, b: a / b,
           ast.Pow: lambda a, b: a ** b}


def grows_exponentially(text, parameters):
    """Whether G, the expression `text` with the parameters {name: value}, grows
    like e^(c s), c > 0, along the real axis; also where it cannot be read there
    (the theorem is then not used, and the ordinary methods judge F)."""
    node = Source(text).parse()
    with mpmath.workdps(30):
        try:
            near, far = (abs(_value(node, mpmath.mpf(s), parameters)) for s in FAR)
        except (ArithmeticError, ValueError, TypeError, KeyError):
            return True
        if not (mpmath.isfinite(near) and mpmath.isfinite(far)) or near == 0 or far == 0:
            return True
        return (mpmath.log(far) - mpmath.log(near)) / (FAR[1] - FAR[0]) > LEAST_RATE


def _value(node, s, parameters):
    if isinstance(node, ast.Constant):
        return mpmath.mpf(node.value)
    if isinstance(node, ast.Name):
        if node.id == "s":
            return s
        return _CONSTANTS[node.id] if node.id in _CONSTANTS else mpmath.mpf(parameters[node.id])
    if isinstance(node, ast.UnaryOp):
        value = _value(node.operand, s, parameters)
        return -value if isinstance(node.op, ast.USub) else value
    if isinstance(node, ast.BinOp):
        return _BINARY[type(node.op)](_value(node.left, s, parameters),
                                      _value(node.right, s, parameters))
    if isinstance(node, ast.Call) and isinstance(node.func, ast.Name):
        arguments = [_value(a, s, parameters) for a in node.args]
        if node.func.id in _BESSEL:
            return _BESSEL[node.func.id](*arguments)
        return _UNARY[node.func.id](*arguments)
    raise ValueError("not an expression of the language")

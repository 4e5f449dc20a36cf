"""The names, limits and error messages of the expression language (see invlap.expression)."""

from invlap import _engine

CONSTANT_NAMES = ("pi", "e", "euler")
# The functions are the engine's function table, read here so that the compiler,
# the SymPy printer and the engine know the same ones.
UNARY_FUNCTIONS = tuple(name for name, _, order in _engine.FUNCTIONS if not order)
BESSEL_FUNCTIONS = tuple(name for name, _, order in _engine.FUNCTIONS if order)
FUNCTIONS = UNARY_FUNCTIONS + BESSEL_FUNCTIONS
# SymPy's name for each function of the language.
SYMPY_NAMES = {name: sympy_name for name, sympy_name, _ in _engine.FUNCTIONS}
RESERVED_NAMES = ("s",) + CONSTANT_NAMES + FUNCTIONS

MAX_SOURCE_CHARS = 100_000
MAX_INSTRUCTIONS = 100_000
# SymPy's printer recurses a few frames per level of a tree, so it fails near
# 250 levels at the interpreter's default limit; and deeper trees print past
# the parser's 200 nested brackets. A SymPy expression is refused past this.
MAX_SYMPY_DEPTH = 150
MAX_BESSEL_ORDER = 10**6
# powi's exponent travels as a C int.
MAX_POWI_EXPONENT = 2**31 - 1
# An exact constant (numerator and denominator together) is kept to about 79,000
# decimal digits: far beyond any working precision, and small enough that folding
# 10**10**10 or a chain of huge products cannot exhaust memory. Past it, the
# operation is left to the engine at the working precision.
MAX_CONSTANT_BITS = 2**18
# Messages quote the whole source up to this length, else the part around the fault.
MAX_QUOTED_CHARS = 160

FUNCTION_LIST = "functions: " + ", ".join(FUNCTIONS)


class ExpressionError(ValueError):
    """A transform F that cannot be compiled.

    Attributes
    ----------
    expression : str
        The source text. For SymPy input, ``str(F)``, or the printed form of F when the
        fault was found in that form, or a short description such as
        ``<SymPy Add of 10000 arguments>`` when F is too large or too deep to print.
    position : int or None
        0-based character index of the offending text in ``expression``, or None when
        the fault has no single place.
    fragment : str or None
        The offending text.
    """

    def __init__(self, message, expression, position=None, fragment=None):
        super().__init__(message)
        self.expression = expression
        self.position = position
        self.fragment = fragment

    def __reduce__(self):
        return (type(self), (str(self), self.expression, self.position, self.fragment))


def expression_error(problem, source, position=None, fragment=None, details=None):
    """The error for `problem` in `source`, in the one shape every message has:
    ``<problem> at position <p> in "<source>"; <details>``."""
    where = "" if position is None else f" at position {position}"
    message = f'{problem}{where} in "{_excerpt(source, position)}"'
    if details:
        message += "; " + details
    return ExpressionError(message, source, position, fragment)


def quoted(fragment):
    if len(fragment) > MAX_QUOTED_CHARS // 2:
        fragment = fragment[:36] + "..." + fragment[-36:]
    return repr(fragment)


def known_names(params):
    return "known names: " + ", ".join(("s",) + CONSTANT_NAMES + params) + "; " + FUNCTION_LIST


def usage(function):
    return f"{function}(n, x)" if function in BESSEL_FUNCTIONS else f"{function}(x)"


def _excerpt(text, position):
    if len(text) > MAX_QUOTED_CHARS:
        start = max(0, (position or 0) - MAX_QUOTED_CHARS // 2)
        end = start + MAX_QUOTED_CHARS
        text = ("..." if start else "") + text[start:end] + ("..." if end < len(text) else "")
    # A lone surrogate would make the message itself unprintable.
    return text.encode("utf-8", "backslashreplace").decode("utf-8")

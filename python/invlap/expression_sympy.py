"""SymPy expressions printed into the expression language (see invlap.expression).

SymPy is optional: nothing here imports it before a SymPy object has been handed in.
"""

import functools
import unicodedata

from invlap.expression_language import (
    FUNCTION_LIST, FUNCTIONS, RESERVED_NAMES, expression_error, known_names, quoted)

__all__ = ["sympy_printer", "sympy_text"]


HEX_FROM_BITS = 4096


def _integer_text(n):
    if n.bit_length() <= HEX_FROM_BITS:
        return str(n)
    return ("-" if n < 0 else "") + hex(abs(n))


@functools.cache
def _hex_integer_printer():
    from sympy.printing.str import StrPrinter

    class HexIntegers(StrPrinter):
        # Integers past HEX_FROM_BITS in hexadecimal: the interpreter refuses the
        # decimal text of one past 4300 digits (SymPy's Rational(1, 10**5000)),
        # never a hexadecimal one, and the language reads 0x literals exactly.
        def _print_Integer(self, expr):
            return _integer_text(int(expr.p))

        def _print_Rational(self, expr):
            if expr.q == 1:
                return _integer_text(int(expr.p))
            return f"{_integer_text(int(expr.p))}/{_integer_text(int(expr.q))}"

    return HexIntegers


def sympy_text(F):
    """F as str(F) writes it, but with huge integers in hexadecimal (str(F) fails there)."""
    return _hex_integer_printer()().doprint(F)


@functools.cache
def sympy_printer():
    """The printer class: ``Printer(params, shown).doprint(F)`` writes F in the language
    and raises ExpressionError, quoting `shown`, at anything the language lacks."""
    import sympy

    # sqrt(x) is Pow(x, 1/2) in SymPy.
    functions = {getattr(sympy, name) for name in FUNCTIONS if name != "sqrt"}
    allowed = (sympy.Add, sympy.Mul, sympy.Pow, sympy.Rational, sympy.Float, sympy.Symbol,
               type(sympy.pi), type(sympy.E), type(sympy.EulerGamma))

    class Printer(_hex_integer_printer()):
        # StrPrinter writes Python syntax with the names this language shares with
        # SymPy (sqrt, exp, besselk, pi, ...), and a Float as its decimal digits at
        # its own precision; only Symbols, E and EulerGamma need another spelling.

        def __init__(self, params, shown):
            super().__init__()
            self.params = params
            self.param_names = {unicodedata.normalize("NFKC", p) for p in params}
            self.shown = shown
            self.used = set()

        def _print(self, expr, **kwargs):
            # The printer also prints pieces it builds itself (strings, ints): only
            # SymPy's own nodes need the check.
            if isinstance(expr, sympy.Basic) and not (isinstance(expr, allowed)
                                                      or type(expr) in functions):
                text = str(expr)
                problem = f"SymPy {type(expr).__name__} {quoted(text)} is not supported"
                raise expression_error(problem, self.shown, fragment=text, details=FUNCTION_LIST)
            return super()._print(expr, **kwargs)

        def _print_Symbol(self, expr):
            name = unicodedata.normalize("NFKC", expr.name)
            if name in self.param_names:
                self.used.add(name)
            elif name in RESERVED_NAMES[1:]:
                raise expression_error(
                    f"SymPy Symbol {expr.name!r} has a reserved name", self.shown,
                    fragment=expr.name,
                    details="use sympy.pi, sympy.E, sympy.EulerGamma or the functions")
            elif name != "s":
                raise expression_error(f"unknown name {expr.name!r}", self.shown,
                                       fragment=expr.name, details=known_names(self.params))
            return name

        _print_Dummy = _print_Symbol

        def _print_Exp1(self, expr):
            return "e"

        def _print_EulerGamma(self, expr):
            return "euler"

    return Printer

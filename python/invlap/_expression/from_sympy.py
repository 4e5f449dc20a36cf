"""SymPy expressions printed into the expression language (see invlap.expression).

SymPy is optional: nothing here imports it before a SymPy object has been handed in.
"""

import functools
import unicodedata

from invlap._expression.language import (
    FUNCTION_LIST, MAX_SOURCE_CHARS, MAX_SYMPY_DEPTH, RESERVED_NAMES, SYMPY_NAMES,
    expression_error, known_names, quoted)



def check_sympy_size(F):
    """Refuses F, with ExpressionError, when it is nested deeper than the printer can
    follow or would print to more text than the language takes; before any
    printing, which for a sum of 10**4 terms takes minutes (SymPy orders the terms)
    and recurses once per level.

    One walk with its own stack visits each distinct node once: SymPy shares equal
    subexpressions, so a tree of few nodes can print to a vast text, which the
    walk adds up without printing it.
    """
    known = {}  # id(node) -> (depth, least characters); the nodes live in F
    stack = [(F, False)]
    while stack:
        node, ready = stack.pop()
        if id(node) in known:
            continue
        if not ready and node.args:
            stack.append((node, True))
            stack.extend((arg, False) for arg in node.args)
            continue
        depth = 1 + max((known[id(arg)][0] for arg in node.args), default=0)
        chars = _least_chars(node) + sum(known[id(arg)][1] for arg in _printed_args(node))
        if depth > MAX_SYMPY_DEPTH:
            raise expression_error("expression nested too deeply", describe_sympy(F), details=(
                f"more than {MAX_SYMPY_DEPTH} levels"))
        if chars > MAX_SOURCE_CHARS:
            raise expression_error("expression too long", describe_sympy(F), details=(
                f"at least {chars} characters, at most {MAX_SOURCE_CHARS}"))
        known[id(node)] = (depth, chars)


def describe_sympy(F):
    # What an error quotes in place of str(F), which is what cannot be afforded.
    count = len(F.args)
    return f"<SymPy {type(F).__name__} of {count} argument{'' if count == 1 else 's'}>"


def _digits(n):
    # A lower bound on the decimal digits of |n| >= 1 that never prints the
    # integer (Python refuses to print one of more than 4300 digits).
    return max(1, int((abs(n).bit_length() - 1) * 0.30102999566398))


def _hidden_exponent(node):
    # x**(1/2), x**(-1/2) and x**(-1) print as sqrt(x), 1/sqrt(x) and 1/x: no exponent.
    exponent = node.exp
    return exponent.is_Rational and (exponent.p, exponent.q) in ((1, 2), (-1, 2), (-1, 1))


def _printed_args(node):
    return node.args[:1] if node.is_Pow and _hidden_exponent(node) else node.args


def _least_chars(node):
    """The fewest characters StrPrinter spends on the node itself, besides its
    arguments: a lower bound, so that nothing the language takes is refused."""
    if node.is_Symbol:
        return len(node.name)
    if node.is_Integer:
        return _digits(node.p) if abs(node.p) >= 2 else 0  # 1 and -1 vanish as factors
    if node.is_Rational:
        return _digits(node.q) + (_digits(node.p) if abs(node.p) >= 2 else 0)
    if node.is_Add:
        return 2 * (len(node.args) - 1)  # " +", or " -" where a term gives up its sign
    if node.is_Mul:
        return len(node.args) - 1  # "*" or "/"
    if node.is_Pow:
        if _hidden_exponent(node):
            return 0 if node.exp.q == 1 else len("sqrt()")  # "1/" or "/" is the product's
        return len("**")
    if node.is_Function:
        return len(type(node).__name__) + 2 * len(node.args)  # "f(", ")" and ", "
    return 1

__all__ = ["check_sympy_size", "describe_sympy", "sympy_printer", "sympy_text"]


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

    # Each SymPy function class and the language's name for it; sqrt(x) is
    # Pow(x, 1/2) in SymPy.
    functions = {getattr(sympy, sympy_name): name for name, sympy_name in SYMPY_NAMES.items()
                 if name != "sqrt"}
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
            name = functions.get(type(expr))
            if name is not None and name != type(expr).__name__:
                return f"{name}({self.stringify(expr.args, ', ')})"
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

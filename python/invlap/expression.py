"""Transforms F(s) written as expressions, compiled into flat programs for the native engine.

The language is a small, safe subset of Python's expression syntax:

* names: ``s`` (the Laplace variable), the caller's parameters, and the constants
  ``pi``, ``e`` and ``euler`` (Euler's gamma);
* numbers: decimal literals, taken exactly from their text (``0.1`` is 1/10, not the
  double nearest to it), and integers;
* operators: ``+ - * / **``, unary ``-`` and ``+``, and parentheses;
* calls: ``sqrt exp log sin cos tan sinh cosh tanh asinh acosh atanh atan erf erfc
  gamma``, each of one argument, and ``besseli(n, x)``, ``besselk(n, x)``,
  ``besselj(n, x)``, ``bessely(n, x)`` for an integer order n >= 0.

Python's own parser reads the text (so operator precedence is Python's); the tree it
gives is then walked against a whitelist and nothing of it is ever evaluated. The text
is parsed as if inside parentheses, so it may span lines and start with blanks.

A SymPy expression in the Symbol ``s`` is first printed into this language. A SymPy
``Float`` stands for the decimal number SymPy prints for it at its own precision: 15
significant digits for a 53-bit Float, so ``sympy.Float(0.1)`` and
``sympy.Float("0.1")`` both mean exactly 1/10, as the literal ``0.1`` does.
"""

import dataclasses
import functools
import keyword
import sys
import unicodedata
from collections.abc import Iterable
from typing import Any

from invlap._expression.compiler import Compiler
from invlap._expression.language import (
    CONSTANT_NAMES, FUNCTION_LIST, MAX_SOURCE_CHARS, RESERVED_NAMES, ExpressionError,
    expression_error)
from invlap._expression.parser import Source
from invlap._expression.from_sympy import check_sympy_size, describe_sympy, sympy_printer, sympy_text

__all__ = ["CompiledExpression", "ExpressionError", "compile_expression"]


@dataclasses.dataclass(frozen=True)
class CompiledExpression:
    """A transform compiled into a flat program: plain data, hashable and picklable.

    Attributes
    ----------
    source : str
        The text as given (``str(F)`` for SymPy input); also ``str()`` of the object.
    params : tuple of str
        The parameter names, in the caller's order.
    code : tuple of (str, int, int)
        The program, in static single assignment form: instruction ``i`` is
        ``(op, a, b)`` and defines register ``i``; ``a`` and ``b`` name earlier
        registers unless the op takes them as immediates; the last register is F(s).
    constants : tuple of (int, int)
        Exact rationals as reduced ``(numerator, denominator)`` pairs with a positive
        denominator, each once.

    Notes
    -----
    The instructions:

    * ``("s", 0, 0)``, ``("pi", 0, 0)``, ``("e", 0, 0)``, ``("euler", 0, 0)``;
      ``("param", i, 0)`` is ``params[i]``; ``("const", j, 0)`` is ``constants[j]``.
    * ``("neg", a, 0)`` and ``(f, a, 0)`` for each one-argument function f.
    * ``("add" | "sub" | "mul" | "div" | "pow", a, b)``.
    * ``("powi", a, k)``: a**k for an integer k, ``|k| <= 2**31 - 1``.
    * ``("besseli" | "besselk" | "besselj" | "bessely", a, n)``: order n >= 0 at a.

    Identical instructions appear once, numbers built from literals with ``+ - * /``
    and integer powers are folded exactly into one constant, ``x**k`` for an integer
    k is ``powi`` and ``x**(1/2)`` is ``sqrt``; nothing else is rearranged.
    """

    source: str
    params: tuple[str, ...]
    code: tuple[tuple[str, int, int], ...]
    constants: tuple[tuple[int, int], ...]

    def __str__(self):
        return self.source


def compile_expression(F: Any, params: Iterable[str] = ()) -> CompiledExpression:
    """Compile a transform F(s) into a program for the native engine.

    Parameters
    ----------
    F : str, sympy.Expr or CompiledExpression
        The transform, in ``s``, the names in `params`, ``pi``, ``e`` and ``euler``.
        A CompiledExpression comes back as it is when compiled for the same `params`.
    params : iterable of str, optional
        The parameter names, in the caller's order. Each must appear in F.

    Returns
    -------
    CompiledExpression
        The same object for the same F and params (the compiled form is cached).

    Raises
    ------
    ExpressionError
        F is not a valid expression, uses an unknown name, or leaves a parameter unused;
        F was compiled for other parameters.
    TypeError
        F is neither a string nor a SymPy expression.

    Examples
    --------
    >>> from invlap import compile_expression
    >>> program = compile_expression("besselk(0, r*sqrt(s))/s", ["r"])
    >>> program.code
    (('param', 0, 0), ('s', 0, 0), ('sqrt', 1, 0), ('mul', 0, 2), ('besselk', 3, 0), ('div', 4, 1))
    >>> compile_expression("0.1 + 2**-1").constants
    ((3, 5),)
    """
    if isinstance(params, str):  # tuple("rr") would read as two names
        raise TypeError("params must be an iterable of names, not a string")
    names = tuple(params)
    if isinstance(F, CompiledExpression):
        # Compiled where a Dask graph is built, it is read again where the graph runs.
        if F.params != names:
            raise expression_error(f"compiled for parameters {F.params}, not {names}", F.source)
        return F
    if isinstance(F, str):
        _check_params(names, F)
        return _compile_text(F, names)
    return _compile_sympy(F, names)


def _check_params(params, source):
    seen = set()
    for name in params:
        if not isinstance(name, str) or not name.isidentifier() or keyword.iskeyword(name):
            raise expression_error(f"parameter {name!r} is not a valid name", source)
        # The parser folds identifiers to NFKC, so that is the form a name is matched in.
        folded = unicodedata.normalize("NFKC", name)
        if folded in RESERVED_NAMES:
            raise expression_error(f"parameter {name!r} is a reserved name", source, details=(
                "reserved names: s, " + ", ".join(CONSTANT_NAMES) + "; " + FUNCTION_LIST))
        if folded in seen:
            raise expression_error(f"parameter {name!r} is given twice", source)
        seen.add(folded)


def _check_all_used(params, used, source):
    for name in params:
        if unicodedata.normalize("NFKC", name) not in used:
            raise expression_error(f"parameter {name!r} does not appear", source, fragment=name)


@functools.lru_cache(maxsize=128)
def _compile_text(text, params):
    if len(text) > MAX_SOURCE_CHARS:
        raise expression_error("expression too long", text,
                               details=f"{len(text)} characters, at most {MAX_SOURCE_CHARS}")
    if not text.strip():
        raise expression_error("empty expression", text)
    source = Source(text)
    compiler = Compiler(source, params)
    compiler.run(source.parse())
    _check_all_used(params, compiler.used, text)
    return CompiledExpression(text, params, tuple(compiler.code), tuple(
        (c.numerator, c.denominator) for c in compiler.constants))


def _compile_sympy(F, params):
    # An object can only be a SymPy expression if the caller has imported SymPy
    # already, so the optional dependency is never imported here.
    sympy = sys.modules.get("sympy")
    if sympy is None or not isinstance(F, sympy.Expr):
        raise TypeError(f"F must be a string or a SymPy expression, not {type(F).__name__}")
    check_sympy_size(F)
    # str(F) recurses as the printer does: a depth within the check can still
    # meet a call stack already deep where invert was called.
    try:
        shown = sympy_text(F)  # str(F), with huge integers in hexadecimal
        _check_params(params, shown)
        printer = sympy_printer()(params, shown)
        text = printer.doprint(F)
    except RecursionError:
        raise expression_error("expression nested too deeply", describe_sympy(F)) from None
    _check_all_used(params, printer.used, shown)
    return _compile_printed(text, shown, params)


@functools.lru_cache(maxsize=128)
def _compile_printed(text, shown, params):
    return dataclasses.replace(_compile_text(text, params), source=shown)

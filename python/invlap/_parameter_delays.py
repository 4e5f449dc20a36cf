"""Delays that depend on a parameter, taken out by the shift theorem set by set.

The theorem takes constant delays only: exp(-a*s)/s with an array of a was left
to the ordinary methods, which flag the points near each front (9 of 42 at 15
digits). Each set of equal parameter values is a constant F of its own: its
values are written into the text, the theorem takes that F apart, and the
points of the set are inverted together. Only a few sets are worth it: past
MAX_SETS, F goes to the ordinary methods as before.
"""

import ast

import numpy as np

from invlap._expression.parser import Source
from invlap._points import Points

__all__ = ["invert_by_parameter_sets"]

MAX_SETS = 16


def invert_by_parameter_sets(text, points, shifted_of, invert_shifted, invert_expression):
    """(values, errors, texts or None, method names, carried logarithms, delays) of
    the expression `text` at the points, set by set of parameter values; None
    where no set has a delay to take out (or the sets are too many).

    shifted_of(G, part) is the decomposition of a constant G at the points `part`
    (or None); invert_shifted(shifted, part) and invert_expression(G, part) invert
    a set's points the two ways, returning (values, errors, texts, methods) and
    that with the carried logarithms."""
    if not points.names:
        return None
    sets, member = np.unique(points.parameters, axis=0, return_inverse=True)
    if len(sets) > MAX_SETS or not np.all(np.isfinite(sets)):
        return None
    member = member.ravel()
    parts = []
    for k, values in enumerate(sets):
        index = np.flatnonzero(member == k)
        part = Points((index.size,), False, points.t[index], np.empty((index.size, 0)), ())
        constant = _with_values(text, points.names, values)
        parts.append((index, part, constant, shifted_of(constant, part)))
    if all(shifted is None for *_, shifted in parts):
        return None
    value = np.empty(points.count)
    error = np.empty(points.count)
    carried = np.full(points.count, np.nan)
    methods = np.empty(points.count, dtype=object)
    texts = None
    delays = set()
    for index, part, constant, shifted in parts:
        if shifted is not None:
            v, e, t, m = invert_shifted(shifted, part)
            delays.update(shifted.delays)
        else:
            v, e, t, m, c = invert_expression(constant, part)
            carried[index] = c
        value[index], error[index], methods[index] = v, e, m
        if t is not None:
            texts = texts if texts is not None else [""] * points.count
            for i, piece in zip(index, t):
                texts[i] = piece
    return value, error, texts, methods, carried, tuple(sorted(delays))


def _with_values(text, names, values):
    """The text with each parameter replaced by its value, in parentheses (a
    negative value stays one under a power or a sign)."""
    tree = Source(text).parse()
    marks = {name: f"__parameter_{j}__" for j, name in enumerate(names)}

    class Marked(ast.NodeTransformer):
        def visit_Name(self, node):
            return ast.Name(id=marks[node.id], ctx=node.ctx) if node.id in marks else node

    out = ast.unparse(Marked().visit(tree))
    for name, value in zip(names, values.tolist()):
        out = out.replace(marks[name], f"({value!r})")
    return out

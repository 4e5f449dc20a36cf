"""f(t) = sum_k c_k g_k(t - d_k) from a decomposition into delayed terms.

Each G_k is inverted once for all the shifted times its terms need, by the
automatic choice, with its values' full digits; the sums run in mpmath at a
few more digits than asked, so that summing many terms (a periodic wave over
many periods) adds no rounding of its own. At a jump, t = d_k > 0 exactly, a
term contributes half its first value g_k(0+): the mean of the one-sided
limits, as the Bromwich integral has it. Before its delay a term is 0.
"""

import ast
import dataclasses

import mpmath
import numpy as np

from invlap._points import Points

__all__ = ["invert_shifted"]


def invert_shifted(shifted, points, options, invert_expression):
    """(values, errors, texts or None, method names) of the decomposed F at the points;
    `invert_expression(G, points, options)` inverts one term's G."""
    count = points.count
    digits = options.digits
    with mpmath.workdps(digits + 20):
        totals = [mpmath.mpf(0)] * count
        bounds = [mpmath.mpf(0)] * count
        largest = [mpmath.mpf(-1)] * count
        methods = np.full(count, "auto", dtype=object)
        full_digits = dataclasses.replace(options, output="mpmath") if dataclasses.is_dataclass(
            options) else _with_texts(options)
        # Each value's text carries digits + 10 digits: half a unit of the last.
        text_rounding = mpmath.mpf(10) ** -(digits + 9) / 2
        for text, terms in shifted.groups.items():
            index, times, weight = _shifted_times(points, terms)
            if index.size == 0:
                continue
            names = _names_in(text, points.names)
            columns = [points.names.index(n) for n in names]
            part = Points((index.size,), False, times,
                          np.ascontiguousarray(points.parameters[index][:, columns]), names)
            value, error, texts, names_used = invert_expression(text, part, full_digits)
            for k in range(index.size):
                i = index[k]
                v = mpmath.mpf(texts[k]) if texts is not None else mpmath.mpf(value[k])
                term = weight[k] * v
                totals[i] += term
                bounds[i] += abs(weight[k]) * (mpmath.mpf(error[k]) + text_rounding * abs(v))
                if abs(term) > largest[i]:
                    largest[i] = abs(term)
                    methods[i] = names_used[k]
        values = np.array([float(v) for v in totals])
        # Rounded up, so that the float never understates the bound.
        errors = np.array([float(b) * (1 + 2.0 ** -50) for b in bounds])
        texts = ([mpmath.nstr(v, digits + 10, strip_zeros=False) for v in totals]
                 if options.output == "mpmath" else None)
    return values, errors, texts, methods


def _with_texts(options):
    copy = object.__new__(type(options))
    copy.__dict__.update(vars(options))
    copy.output = "mpmath"
    return copy


def _shifted_times(points, terms):
    """Point indices, shifted times and weights of the terms that are not 0 there."""
    index, times, weight = [], [], []
    for delay, coefficient in terms:
        shifted = points.t - float(delay)
        active = np.flatnonzero(shifted >= 0)
        for i in active:
            at_jump = delay > 0 and shifted[i] == 0
            index.append(i)
            times.append(shifted[i])
            weight.append(coefficient / 2 if at_jump else coefficient)
    return (np.asarray(index, dtype=np.intp), np.asarray(times, dtype=float), weight)


def _names_in(text, names):
    """The parameters G's text uses, in the caller's order."""
    used = {node.id for node in ast.walk(ast.parse(text, mode="eval"))
            if isinstance(node, ast.Name)}
    return tuple(n for n in names if n in used)

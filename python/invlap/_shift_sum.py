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
from invlap._rules import text_digits, text_rounding_log10

__all__ = ["invert_shifted", "shifted_times_exact"]


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
        # Half a unit in the last of the digits each value's text carries.
        text_rounding = mpmath.mpf(10) ** text_rounding_log10(digits)
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
        texts = ([mpmath.nstr(v, text_digits(digits), strip_zeros=False) for v in totals]
                 if options.output == "mpmath" else None)
    return values, errors, texts, methods


def _with_texts(options):
    copy = object.__new__(type(options))
    copy.__dict__.update(vars(options))
    copy.output = "mpmath"
    return copy


def _shifted_times(points, terms):
    """Point indices, shifted times and weights of the terms that are not 0 there.

    A shifted time t - d that no double holds exactly (d = pi, or 1/10) is
    reached by cubic interpolation between the four doubles around it: the
    engine takes double times, and g at the nearest double alone would be off
    by g' times the rounding, far beyond 15 digits at 30. The interpolation's
    own error, about h^4 / 24 times g's fourth derivative for a double's
    spacing h, lies some 55 digits below g (beyond 50 digits, shifts are
    taken only where no time needs it: shifted_times_exact)."""
    index, times, weight = [], [], []
    for delay, coefficient in terms:
        for i in np.flatnonzero(points.t - float(delay) >= 0):
            exact = mpmath.mpf(float(points.t[i])) - delay
            if exact < 0:
                continue
            if delay > 0 and exact == 0:
                # At the jump: the mean of the one-sided limits, 0 and g(0+).
                index.append(i)
                times.append(0.0)
                weight.append(coefficient / 2)
                continue
            below = float(exact)
            if below > exact:
                below = float(np.nextafter(below, -np.inf))
            nodes = [float(np.nextafter(below, -np.inf)), below]
            nodes.append(float(np.nextafter(below, np.inf)))
            nodes.append(float(np.nextafter(nodes[-1], np.inf)))
            if below == exact or nodes[0] <= 0:
                index.append(i)
                times.append(float(exact))
                weight.append(coefficient)
                continue
            for k, x in enumerate(nodes):
                lagrange = mpmath.mpf(1)
                for j, y in enumerate(nodes):
                    if j != k:
                        lagrange *= (exact - y) / (mpmath.mpf(x) - y)
                index.append(i)
                times.append(x)
                weight.append(coefficient * lagrange)
    return (np.asarray(index, dtype=np.intp), np.asarray(times, dtype=float), weight)


def shifted_times_exact(shifted, t, dps):
    """Whether every shifted time t - d_k >= 0 of the times t is a double
    itself, so that no interpolation between doubles is needed."""
    with mpmath.workdps(dps):
        for terms in shifted.groups.values():
            for delay, _ in terms:
                for time in t[t - float(delay) >= 0].tolist():
                    exact = mpmath.mpf(time) - delay
                    if exact >= 0 and exact != mpmath.mpf(float(exact)):
                        return False
    return True


def _names_in(text, names):
    """The parameters G's text uses, in the caller's order."""
    used = {node.id for node in ast.walk(ast.parse(text, mode="eval"))
            if isinstance(node, ast.Name)}
    return tuple(n for n in names if n in used)

"""What `invlap invert` writes: the aligned table and the CSV."""

import csv

import mpmath

__all__ = ["cost_lines", "table_lines", "write_csv"]


def _number(value, digits):
    return mpmath.nstr(value, digits, strip_zeros=False)


def _methods(series):
    return " and ".join(dict.fromkeys(name for s in series for name in s.method_names()))


def table_lines(expression, times, curves, series, digits):
    """The table: a heading, then a block per curve of t, and each series' value and
    estimated absolute error."""
    width = digits + 8  # sign, point and an exponent such as e-100
    lines = [f"F(s) = {expression}    (method {_methods(series)}, {digits} digits; "
             "error = estimated absolute error)"]
    head = f"{'t':>12}" + "".join(f"  {s.label:>{width}}  {'error':>8}" for s in series)
    for c in range(curves.count):
        lines.append("")
        if curves.names:
            lines.append(curves.label(c))
        lines.append(head)
        for j, t in enumerate(times):
            lines.append(f"{t:>12.6g}" + "".join(
                f"  {_number(s.values[c, j], digits):>{width}}  {s.errors[c, j]:>8.1e}"
                for s in series))
    return lines


def write_csv(path, times, curves, series, digits):
    """A header, then a row per (parameter set, t); t and the parameters in full."""
    with open(path, "w", newline="", encoding="utf-8") as out:
        writer = csv.writer(out)
        writer.writerow([*curves.names, "t"] + [x for s in series for x in
                                                (s.label, f"{s.label} error")] + ["method"])
        for c in range(curves.count):
            parameters = curves.values(c)
            for j, t in enumerate(times):
                method = " and ".join(dict.fromkeys(s.method_at(c, j) for s in series))
                writer.writerow([*map(repr, parameters), repr(float(t))] + [
                    x for s in series
                    for x in (_number(s.values[c, j], digits), f"{s.errors[c, j]:.2e}")]
                    + [method])


def cost_lines(series):
    """One line per series: its time and, for a callable, its calls of F and the
    time spent in F (what an expensive F's user needs to see)."""
    lines = []
    for s in series:
        counted = s.evaluations
        if counted is None:
            lines.append(f"{s.label}: {s.values.size} points in {s.seconds:.3g} s")
            continue
        share = counted.seconds_in_F / counted.seconds if counted.seconds > 0 else 0.0
        lines.append(f"{s.label}: {counted.calls} calls of F, {counted.values} values of s, "
                     f"for {s.values.size} points; {counted.seconds:.3g} s, of which "
                     f"{counted.seconds_in_F:.3g} s in F ({100 * share:.0f} %)")
    return lines

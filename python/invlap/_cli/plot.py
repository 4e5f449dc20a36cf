"""The figure of `invlap invert --plot`: f(t) per curve, and t df/dt on request."""

import importlib
import os
import textwrap

import numpy as np

from invlap._cli.arguments import CommandError

__all__ = ["FORMATS", "check_plot_target", "plot"]

FORMATS = ("png", "svg", "pdf")
# 8 x 5 inches at 100 dpi: an 800 x 500 pixel PNG, legible on a screen and in a README.
SIZE_IN = (8.0, 5.0)
DPI = 100
# The width of a title line, in characters, past which a long expression wraps.
TITLE_CHARS = 80


def check_plot_target(path):
    """The file format of `path`, or CommandError; also checks that matplotlib is there,
    before any time is spent on the inversions."""
    extension = os.path.splitext(path)[1].lower().lstrip(".")
    if extension not in FORMATS:
        raise CommandError(f"--plot {path}: the file must end in "
                           + ", ".join("." + f for f in FORMATS))
    try:
        importlib.import_module("matplotlib")
    except ImportError:
        raise CommandError("--plot needs matplotlib: pip install 'invlap[plot]'") from None
    return extension


def _meaningful(s):
    """A series' values as floats, NaN (not drawn) where the estimated error is as
    large as a value other than 0: such a value has no correct digit, and on a log axis its
    noise (tiny values of either sign where f is below the working precision)
    would look like part of the curve."""
    values = np.asarray(s.values, dtype=float)
    with np.errstate(invalid="ignore"):
        return np.where((s.errors < np.abs(values)) | (values == 0), values, np.nan)


def _log_scale(times, f):
    """Log-log axes when t spans more than two decades and f keeps one sign (zeros,
    f below the smallest double included, do not count as a sign)."""
    positive = times[times > 0]
    if positive.size < 2 or positive.max() <= 100 * positive.min():
        return False
    f = f[:, times > 0]
    f = f[np.isfinite(f)]
    return bool((f > 0).any() and (f >= 0).all()) or bool((f < 0).any() and (f <= 0).all())


def _for_log_axis(values, label):
    """Values that a log axis can show, and their label: a curve that is negative
    throughout is drawn as -y, one that changes sign as |y| (its zeros fall away)."""
    finite = values[np.isfinite(values)]
    if finite.size and (finite <= 0).all():
        return -values, f"-{label}"
    if (finite < 0).any():
        return np.abs(values), f"|{label}|"
    return values, label


def plot(path, extension, expression, times, curves, series):
    """Draws the figure into `path`; returns how many values were left out as noise."""
    from matplotlib.figure import Figure

    values = [_meaningful(s) for s in series]
    log = _log_scale(times, values[0])
    shown = times > 0 if log else np.ones(times.shape, dtype=bool)
    order = np.argsort(times[shown], kind="stable")
    t = times[shown][order]
    figure = Figure(figsize=SIZE_IN, dpi=DPI, layout="constrained")
    axes = figure.subplots()
    drawn = {}  # the quantities as drawn (f, -f, |f|), in order, for the axis label
    for c in range(curves.count):
        colour = f"C{c % 10}"
        for s, v, style in zip(series, values, ("-", "--")):
            y = v[c][shown][order]
            label = _plain(s.label)
            if log:
                y, label = _for_log_axis(y, label)
            drawn[label] = None
            name = ", ".join(filter(None, [curves.label(c), label]))
            axes.plot(t, y, style, color=colour, label=name)
    if log:
        # Masked, not clipped: a point at or below zero would otherwise pull the
        # line down to the bottom edge.
        axes.set_xscale("log", nonpositive="mask")
        axes.set_yscale("log", nonpositive="mask")
    axes.set_xlabel("t")
    axes.set_ylabel(", ".join(drawn))
    axes.set_title("\n".join(textwrap.wrap(f"inverse Laplace transform of F(s) = {expression}",
                                           TITLE_CHARS)), fontsize=11)
    axes.grid(True, which="major", alpha=0.4)
    axes.legend(fontsize=9)
    figure.savefig(path, format=extension, dpi=DPI)
    return sum(int(np.count_nonzero(np.isnan(v))) for v in values) - sum(
        int(np.count_nonzero(np.isnan(np.asarray(s.values, dtype=float)))) for s in series)


def _plain(label):
    # The table's ASCII "t*df/dt" reads better on a figure with a centred dot.
    return label.replace("*", "\u00b7")

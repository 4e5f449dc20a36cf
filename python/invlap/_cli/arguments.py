"""The parts of the command line that argparse does not check: value lists, --t, --param,
--workers."""

import dataclasses
import math

import numpy as np

from invlap._workers import MAX_WORKERS

__all__ = ["CommandError", "Curves", "check_workers", "parse_param", "parse_times"]

# One range may hold this many values: 8 MB of doubles, and at the engine's few
# milliseconds per point already hours of work. A typo such as 0:1:1e9 is refused
# here instead of filling memory.
MAX_RANGE_COUNT = 10**6
# Every curve times every t: the same reasoning for the whole run.
MAX_POINTS = 10**7

class CommandError(ValueError):
    """Something wrong on the command line, said in the user's own words."""


def _number(text, where):
    try:
        return float(text)
    except ValueError:
        raise CommandError(f"{where}: {text.strip()!r} is not a number") from None


def _count(text, where):
    count = _number(text, where)
    if not count.is_integer() or not 1 <= count <= MAX_RANGE_COUNT:
        raise CommandError(f"{where}: the count must be a whole number from 1 to "
                           f"{MAX_RANGE_COUNT}, not {text.strip()!r}")
    return int(count)


def _item(text, where):
    """(count, make): how many values the item stands for, and a function that makes
    them; the count is known before anything is allocated."""
    if ".." in text:
        bounds, _, count = text.rpartition(":")
        start, sep, stop = bounds.partition("..")
        if not sep or not count:
            raise CommandError(f"{where}: a log range is START..STOP:COUNT, not {text!r}")
        a, b, n = _number(start, where), _number(stop, where), _count(count, where)
        if not (a > 0 and b > 0 and math.isfinite(a) and math.isfinite(b)):
            raise CommandError(f"{where}: a log range needs finite bounds > 0, not {text!r}")
        return n, lambda: np.geomspace(a, b, n)
    if ":" in text:
        parts = text.split(":")
        if len(parts) != 3:
            raise CommandError(f"{where}: a linear range is START:STOP:COUNT, not {text!r}")
        a, b, n = _number(parts[0], where), _number(parts[1], where), _count(parts[2], where)
        return n, lambda: np.linspace(a, b, n)
    value = _number(text, where)
    return 1, lambda: np.array([value])


def parse_values(text, where):
    """The values of a comma list of numbers and ranges, in the order written."""
    items = text.split(",")
    if not all(item.strip() for item in items):
        raise CommandError(f"{where}: an empty item in {text!r}")
    parsed = [_item(item.strip(), where) for item in items]
    # Counted before made: a thousand ranges of a million values each would
    # otherwise fill memory before the list could be refused.
    total = sum(count for count, _ in parsed)
    if total > MAX_RANGE_COUNT:
        raise CommandError(f"{where}: {total} values, at most {MAX_RANGE_COUNT}")
    values = np.concatenate([make() for _, make in parsed])
    if not np.isfinite(values).all():
        raise CommandError(f"{where}: values must be finite, not {text!r}")
    return values


def parse_times(text):
    times = parse_values(text, f"--t {text}")
    if (times < 0).any():
        raise CommandError(f"--t {text}: times must be >= 0, not {times[times < 0][0]:g}")
    return times


def parse_param(text):
    """(name, values) from NAME=VALUES."""
    name, sep, values = text.partition("=")
    if not sep or not name.strip():
        raise CommandError(f"--param {text}: write NAME=VALUES, e.g. r=0.5,1,2")
    return name.strip(), parse_values(values, f"--param {text}")


def check_workers(workers):
    """--workers as given, or CommandError: a count of threads this process could start."""
    if workers is not None and not 1 <= workers <= MAX_WORKERS:
        raise CommandError(f"--workers {workers}: must be from 1 to {MAX_WORKERS}")
    return workers


@dataclasses.dataclass
class Curves:
    """One curve per combination of the parameters' values, the first parameter's
    varying slowest (as in nested loops written in the order given). The
    combinations are never listed: curve c's values are worked out from c."""

    names: tuple
    columns: tuple  # each parameter's values, a float array

    @classmethod
    def from_params(cls, params, t_count):
        names = tuple(name for name, _ in params)
        for i, name in enumerate(names):
            if name in names[:i]:
                raise CommandError(f"--param {name} is given twice; list its values "
                                   f"instead: {name}=1,2")
        # Python's integers: the product of a few counts of 10**6 must not wrap.
        count = math.prod(values.size for _, values in params)
        if count * t_count > MAX_POINTS:
            raise CommandError(f"{count} curves of {t_count} times are "
                               f"{count * t_count} points, at most {MAX_POINTS}")
        return cls(names, tuple(values for _, values in params))

    @property
    def count(self):
        return math.prod(column.size for column in self.columns)

    def values(self, index):
        """The parameters' values of curve `index`, as floats in the names' order."""
        digits = []
        for column in reversed(self.columns):
            index, digit = divmod(index, column.size)
            digits.append(float(column[digit]))
        return tuple(reversed(digits))

    def arrays(self):
        """Each parameter as a column, one row per curve: broadcasts against t's row."""
        out, before = {}, 1
        for name, column in zip(self.names, self.columns):
            after = self.count // (before * column.size)
            out[name] = np.repeat(np.tile(column, before), after)[:, None]
            before *= column.size
        return out

    def label(self, index):
        return ", ".join(f"{n} = {v:.6g}" for n, v in zip(self.names, self.values(index)))

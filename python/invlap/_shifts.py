"""Delays, steps and periodic transforms by the shift theorem.

Where an expression is a sum F(s) = sum_k c_k exp(-d_k s) G_k(s) with constant
delays d_k >= 0, f(t) = sum_k c_k g_k(t - d_k), each term 0 before its delay.
Contour and real-axis methods alike converge slowly or not at all across the
jumps and kinks of such f, while each g_k is smooth: inverted alone, every
digit comes out. Periodic factors become finite sums of delays for the times
asked: 1/(1 - e^(-as)) = sum_n e^(-nas), tanh(as) = (1 - e^(-2as))/(1 + e^(-2as)),
and likewise 1/cosh, 1/sinh, coth written as quotients.
K_n(a s) is the delay a of the bounded e^(a s) K_n(a s): its inverse is 0 before
t = a, a wave front no contour resolves.

The decomposition reads the expression's tree; numbers are taken from their
text, as the compiler takes them. Anything it cannot decompose exactly (a
delay inside a root, a delay that depends on a parameter (taken set by set of
parameter values instead, _parameter_delays.py), an advance e^(+as)
that survives, more terms than MAX_TERMS) leaves F to the ordinary methods.
"""

import ast
import dataclasses
import functools
import math
import re

import mpmath

from invlap._expression.parser import Source

__all__ = ["Shifted", "decompose", "may_delay"]

# Terms beyond this many (a periodic wave over very many periods) are not
# worth a sum: the ordinary methods then flag what they cannot resolve.
MAX_TERMS = 2000
# Integer powers of a delayed factor expanded by repeated products up to this.
MAX_POWER = 16

_CONSTANTS = {"pi": mpmath.pi, "e": mpmath.e, "euler": mpmath.euler}


class _Refused(Exception):
    """The expression has no exact decomposition into delays."""


@dataclasses.dataclass(frozen=True)
class Shifted:
    """F as sum_k c_k exp(-d_k s) G_k(s): the terms of each G (as text), by G."""

    groups: dict  # G's text -> list of (delay d_k, coefficient c_k) as mpf
    delays: tuple  # the distinct positive delays, as floats
    # Every G, also those whose delays lie past every time asked: each must be
    # causal for the zeros before its delay to hold (see _causal.py).
    factors: frozenset = frozenset()


# Only these functions of s make delays; text without them is passed by at once.
_DELAYING = re.compile(r"\b(exp|sinh|cosh|tanh|besselk)\b")


def may_delay(text):
    """Whether the text names a function that can make a delay."""
    return _DELAYING.search(text) is not None


def decompose(text, params, horizon, dps):
    """The decomposition of `text` for times up to `horizon`, or None where F
    has no delays (or none that can be taken out exactly)."""
    if not may_delay(text):
        return None
    # The walk expands periodic factors up to a horizon: made for the next
    # power of two at or above it, one walk serves every call up to there.
    reach = 2.0 ** math.ceil(math.log2(horizon)) if horizon > 0 else 1.0
    terms = _terms(text, tuple(params), reach, dps)
    if terms is None:
        return None
    groups = {}
    delays = set()
    factors = set()
    for (delay, factor), coefficient in terms.items():
        if delay < 0 or factor is None:
            return None  # an advance, or a delta function: not for this route
        if delay > 0:
            delays.add(float(delay))
        factors.add(factor)
        if delay > horizon:
            continue  # zero at every time asked (exp(-2*s)/s at t = 1.5 is 0 exactly)
        groups.setdefault(factor, []).append((delay, coefficient))
    if not delays:
        return None
    return Shifted(groups, tuple(sorted(delays)), frozenset(factors))


@functools.lru_cache(maxsize=128)
def _terms(text, params, horizon, dps):
    with mpmath.workdps(dps):
        try:
            return _Walker(Source(text), frozenset(params), horizon).walk_root()
        except (_Refused, RecursionError):
            return None


def _key(delay):
    # Delays built by sums of other delays must meet again as one key.
    return mpmath.nstr(delay, mpmath.mp.dps - 8)


class _Walker:
    """Terms as {(delay, factor text or None): coefficient}; a factor of None is 1."""

    def __init__(self, source, params, horizon):
        self.source = source
        self.params = params
        self.horizon = horizon
        self.delays = {}  # key -> the mpf delay it stands for

    def walk_root(self):
        terms = self.walk(self.source.parse())
        return terms if any(d != 0 for d, _ in terms) else None

    # -- the tree -----------------------------------------------------------------

    def walk(self, node):
        terms = self._walk(node)
        if len(terms) > MAX_TERMS:
            raise _Refused
        if all(d == 0 for d, _ in terms) and len(terms) > 1:
            return {(mpmath.mpf(0), self.source.fragment(node)): mpmath.mpf(1)}
        return terms

    def _walk(self, node):
        if isinstance(node, ast.Constant):
            return {(mpmath.mpf(0), None): mpmath.mpf(self.source.fragment(node))}
        if isinstance(node, ast.Name):
            if node.id in _CONSTANTS:
                return {(mpmath.mpf(0), None): +_CONSTANTS[node.id]}
            return self._whole(node)
        if isinstance(node, ast.UnaryOp) and isinstance(node.op, (ast.USub, ast.UAdd)):
            inner = self.walk(node.operand)
            sign = -1 if isinstance(node.op, ast.USub) else 1
            return {k: sign * c for k, c in inner.items()}
        if isinstance(node, ast.BinOp):
            return self._binary(node)
        if isinstance(node, ast.Call) and isinstance(node.func, ast.Name):
            return self._call(node)
        raise _Refused

    def _whole(self, node):
        return {(mpmath.mpf(0), self.source.fragment(node)): mpmath.mpf(1)}

    def _binary(self, node):
        op = node.op
        if isinstance(op, (ast.Add, ast.Sub)):
            right = self.walk(node.right)
            if isinstance(op, ast.Sub):
                right = {k: -c for k, c in right.items()}
            return _merge(self.walk(node.left), right)
        if isinstance(op, ast.Mult):
            return self._product(self.walk(node.left), self.walk(node.right))
        if isinstance(op, ast.Div):
            return self._product(self.walk(node.left), self._inverse(self.walk(node.right)))
        if isinstance(op, ast.Pow):
            base = self.walk(node.left)
            if all(d == 0 for d, _ in base):
                return self._whole(node)
            exponent = self._integer(node.right)
            if exponent is None or abs(exponent) > MAX_POWER:
                raise _Refused
            result = {(mpmath.mpf(0), None): mpmath.mpf(1)}
            for _ in range(abs(exponent)):
                result = self._product(result, base)
            return self._inverse(result) if exponent < 0 else result
        raise _Refused

    def _call(self, node):
        name = node.func.id
        if len(node.args) == 1 and name == "exp":
            split = self._split_exponent(node.args[0])
            if split is not None:
                return split
        if len(node.args) == 1 and name in ("exp", "sinh", "cosh", "tanh"):
            slope = self._slope(node.args[0])
            if slope is not None and slope != 0:
                # e^(a s) is a delay of -a (an advance where a > 0).
                up = {(-slope, None): mpmath.mpf(1)}
                down = {(slope, None): mpmath.mpf(1)}
                if name == "exp":
                    return up
                half = mpmath.mpf(1) / 2
                odd = {(-slope, None): half, (slope, None): -half}
                even = {(-slope, None): half, (slope, None): half}
                if name == "sinh":
                    return odd
                if name == "cosh":
                    return even
                return self._product(odd, self._inverse(even))
        if name == "besselk" and len(node.args) == 2:
            delayed = self._besselk_delay(*node.args)
            if delayed is not None:
                return delayed
        for argument in node.args:
            if any(d != 0 for d, _ in self.walk(argument)):
                raise _Refused  # a delay inside a function: no shift takes it out
        return self._whole(node)

    def _besselk_delay(self, order, argument):
        """K_n(a s + R) for constants n and a > 0 as the delay a times
        G = e^(a s) K_n(a s + R): K_n(a s) decays like e^(-a s) in the right
        half-plane, so its inverse is 0 before t = a, and G is bounded there (a
        causal g). Before the front, a contour or series sees only the
        cancellation of e^(st) against e^(-a s): at 30 digits that took minutes
        of ever higher precision for a value of 0."""
        slope, linear, _ = self._linear_split(argument)
        if slope <= 0 or self._constant(order) is None:
            return None
        # The rest of the argument (K_1(s + 1), K_0(s + sqrt(s))) stays in G; the
        # growth check on every G still vouches that G is causal.
        text = self.source.fragment(argument)
        return {(slope, f"exp({self._joined(linear)})*besselk({self.source.fragment(order)}, {text})"):
                mpmath.mpf(1)}

    def _split_exponent(self, node):
        """exp(a s + R) as the delay -a times exp(R), where the exponent is a sum
        of a term linear in s and others free of delays (exp(-s - sqrt(s)), a
        delay beside a diffusion front, is the common case); None where it is not
        such a sum."""
        if len(self._summands(node)) < 2:
            return None
        slope, _, rest = self._linear_split(node)
        if slope == 0:
            return None
        if not rest:
            return {(-slope, None): mpmath.mpf(1)}
        return {(-slope, f"exp({self._joined(rest)})"): mpmath.mpf(1)}

    def _linear_split(self, node):
        """node as a s + R: the slope a, and the summands of a s and of R as
        (sign, node). Raises _Refused where R holds a delay (e^(-s - e^(-s)),
        K_0(s + e^(-s))): no shift takes that out."""
        slope = mpmath.mpf(0)
        linear, rest = [], []
        for sign, part in self._summands(node):
            a = self._slope(part)
            if a is None:
                if any(d != 0 for d, _ in self.walk(part)):
                    raise _Refused
                rest.append((sign, part))
            else:
                slope += sign * a
                linear.append((sign, part))
        return slope, linear, rest

    def _joined(self, parts):
        """The text of a sum of (sign, node) summands."""
        return " + ".join(f"{'-' if sign < 0 else ''}({self.source.fragment(part)})"
                          for sign, part in parts)

    def _summands(self, node, sign=1):
        """The terms of a sum as (sign, node), through + - and unary signs."""
        if isinstance(node, ast.BinOp) and isinstance(node.op, (ast.Add, ast.Sub)):
            right_sign = -sign if isinstance(node.op, ast.Sub) else sign
            return self._summands(node.left, sign) + self._summands(node.right, right_sign)
        if isinstance(node, ast.UnaryOp) and isinstance(node.op, (ast.USub, ast.UAdd)):
            return self._summands(node.operand, -sign if isinstance(node.op, ast.USub) else sign)
        return [(sign, node)]

    def _slope(self, node):
        """a where node is a * s for a constant a, else None."""
        if isinstance(node, ast.Name) and node.id == "s":
            return mpmath.mpf(1)
        if isinstance(node, ast.UnaryOp) and isinstance(node.op, (ast.USub, ast.UAdd)):
            inner = self._slope(node.operand)
            if inner is None:
                return None
            return -inner if isinstance(node.op, ast.USub) else inner
        if isinstance(node, ast.BinOp) and isinstance(node.op, (ast.Mult, ast.Div)):
            left_slope = self._slope(node.left)
            right_value = self._constant(node.right)
            if left_slope is not None and right_value is not None:
                if isinstance(node.op, ast.Mult):
                    return left_slope * right_value
                return left_slope / right_value if right_value != 0 else None
            if isinstance(node.op, ast.Mult):
                right_slope = self._slope(node.right)
                left_value = self._constant(node.left)
                if right_slope is not None and left_value is not None:
                    return left_value * right_slope
        return None

    def _constant(self, node):
        """The value of a node made of numbers and pi, e, euler only, else None."""
        try:
            terms = self._walk(node)
        except _Refused:
            return None
        if len(terms) == 1:
            (delay, factor), c = next(iter(terms.items()))
            if delay == 0 and factor is None:
                return c
        return None

    def _integer(self, node):
        value = self._constant(node)
        if value is None or value != mpmath.floor(value):
            return None
        return int(value)

    # -- algebra of terms -----------------------------------------------------------

    def _delay(self, value):
        return self.delays.setdefault(_key(value), value)

    def _product(self, a, b):
        out = {}
        for (da, fa), ca in a.items():
            for (db, fb), cb in b.items():
                factor = fa if fb is None else fb if fa is None else f"({fa})*({fb})"
                key = (self._delay(da + db), factor)
                out[key] = out.get(key, 0) + ca * cb
                if len(out) > MAX_TERMS:
                    raise _Refused
        return {k: c for k, c in out.items() if c != 0}

    def _inverse(self, terms):
        """1/D for D = G0 * sum_j c_j e^(-d_j s): one common factor G0, constant c_j.
        Expanded as a geometric series in the delays, up to the horizon (plus the
        advances the rest of F may take back)."""
        factors = {f for _, f in terms}
        if len(factors) != 1 or not terms:
            raise _Refused
        common = factors.pop()
        first = min(d for d, _ in terms)
        lead = sum(c for (d, _), c in terms.items() if d == first)
        if lead == 0:
            raise _Refused
        rest = {self._delay(d - first): -c / lead for (d, _), c in terms.items() if d != first}
        reach = self.horizon + sum(abs(d) for d, _ in terms) + abs(first)
        series = {mpmath.mpf(0): mpmath.mpf(1)}
        power = {mpmath.mpf(0): mpmath.mpf(1)}
        while power:
            following = {}
            for dp, cp in power.items():
                for dr, cr in rest.items():
                    d = self._delay(dp + dr)
                    if d <= reach:
                        following[d] = following.get(d, 0) + cp * cr
            power = {d: c for d, c in following.items() if c != 0}
            for d, c in power.items():
                series[d] = series.get(d, 0) + c
            if len(series) > MAX_TERMS:
                raise _Refused
        factor = None if common is None else f"1/({common})"
        return {(self._delay(d - first), factor): c / lead for d, c in series.items() if c != 0}


def _merge(a, b):
    out = dict(a)
    for k, c in b.items():
        out[k] = out.get(k, 0) + c
    return {k: c for k, c in out.items() if c != 0}

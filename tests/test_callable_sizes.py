"""For callables returning doubles, M sizes GWR and Stehfest and nothing else; a
size the rule cannot honour is refused at once, before F is called."""

import math
import time

import pytest

import invlap

CONTOUR_REFUSAL = ("M applies to callables returning doubles with method 'gwr' or 'stehfest' "
                   "only; method {!r} uses fixed sizes tuned for doubles (leave M out, or "
                   "choose 'gwr' or 'stehfest')")


@pytest.mark.parametrize("options, message", [
    ({"method": "talbot", "M": 4}, CONTOUR_REFUSAL.format("talbot")),
    ({"method": "euler", "M": 10**7}, CONTOUR_REFUSAL.format("euler")),
    ({"method": "hyperbola", "M": 40, "vectorized": True}, CONTOUR_REFUSAL.format("hyperbola")),
    ({"method": "auto", "M": 8}, CONTOUR_REFUSAL.format("auto")),
    # Once 33 s of exact weights, then an OverflowError.
    ({"method": "stehfest", "M": 1000},
     "M = 1000: Stehfest for callables returning doubles takes M up to 30 (beyond about 12 "
     "the doubles' rounding leaves no digit)"),
], ids=["talbot", "euler", "hyperbola", "auto", "stehfest-1000"])
def test_sizes_a_double_rule_cannot_honour_are_refused_at_once(options, message):
    calls = []

    def F(s):
        calls.append(s)
        return 1 / (s + 1)

    start = time.monotonic()
    with pytest.raises(ValueError) as caught:
        invlap.invert(F, 1.0, **options)
    assert time.monotonic() - start < 1.0
    assert str(caught.value) == message
    assert calls == []


def test_the_largest_stehfest_size_is_quick_and_says_it_lost_the_digits():
    start = time.monotonic()
    with pytest.warns(invlap.AccuracyWarning):
        result = invlap.invert(lambda s: 1 / (s + 1), 1.0, method="stehfest", M=30,
                               full_output=True)
    assert time.monotonic() - start < 1.0
    # Its weights reach 10^40: the doubles' rounding swamps exp(-1), and the
    # estimate must cover what is left.
    assert abs(result.value - math.exp(-1)) <= result.error
    assert result.error > 1.0

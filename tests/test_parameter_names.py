"""Parameters of F in a mapping, for names that invert's own keywords take."""

import math
import warnings

import numpy as np
import pytest

import invlap


# Every option's name, as a parameter of an expression and of a callable.
OPTIONS = ["M", "digits", "method", "workers", "output", "precision", "vectorized", "progress",
           "full_output", "params"]


@pytest.mark.parametrize("name", OPTIONS)
def test_a_parameter_named_like_an_option_goes_in_params(name):
    value = invlap.invert(f"1/(s+{name})", [0.5, 2.0], params={name: 2.0})
    np.testing.assert_allclose(value, np.exp(-2 * np.array([0.5, 2.0])), rtol=1e-14)
    called = invlap.invert(lambda s, **p: 1 / (s + p[name]), 1.0, params={name: 2.0}, digits=9)
    assert called == pytest.approx(math.exp(-2), rel=1e-10)


def test_params_and_keywords_combine_and_options_still_apply():
    result = invlap.invert("besselk(0, r*sqrt(s))/s + 0*M", 1.0, params={"M": 1.0},
                           r=[0.5, 1.0], M=40, method="gwr", full_output=True)
    np.testing.assert_allclose(result.value, [1.12845495, 0.52214132], rtol=1e-8)
    assert result.method == "gwr"


# The keyword sets the option; where F also names a parameter so, that is a
# clash, refused before anything else with a message that names params=.
@pytest.mark.parametrize("F, keywords, message", [
    ("1/(s+M)", {"M": 1.0}, "M=1.0 sets invert's option 'M', and F also has a parameter 'M': "
     "give the parameter as params={'M': ...} (params={'M': 1.0} if that value was meant for F)"),
    ("1/(s+digits)", {"digits": 20}, "digits=20 sets invert's option 'digits'"),
    (lambda s, method: 1 / (s + 1), {"method": "gwr"}, "method='gwr' sets invert's option"),
    (invlap.compile_expression("1/(s+workers)", ["workers"]), {"workers": 2},
     "workers=2 sets invert's option"),
])
def test_an_option_keyword_that_F_names_is_refused(F, keywords, message):
    with pytest.raises(TypeError) as caught:
        invlap.invert(F, 1.0, **keywords)
    assert str(caught.value).startswith(message)


def test_a_callable_parameter_with_a_default_leaves_the_keyword_to_the_option():
    result = invlap.invert(lambda s, M=1.0: 1 / (s + M), 1.0, M=10, method="gwr", digits=5,
                           full_output=True)
    assert abs(result.value - math.exp(-1)) <= result.error <= 1e-5


@pytest.mark.parametrize("params, keywords, error, message", [
    ({"r": 1.0}, {"r": 2.0}, TypeError, "parameter 'r' is given both in params= and as a keyword"),
    ([("r", 1.0)], {}, TypeError, "params must be a mapping of names to values, not list"),
])
def test_bad_params_are_refused(params, keywords, error, message):
    with pytest.raises(error) as caught:
        invlap.invert("1/(s+r)", 1.0, params=params, **keywords)
    assert str(caught.value) == message


def test_the_accuracy_warning_points_at_the_caller():
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always", invlap.AccuracyWarning)
        invlap.invert("1/(s**2+1)", 200.0, method="gwr")
    assert [w.filename for w in caught] == [__file__]


def test_params_reach_the_blocks_of_a_dask_array():
    da = pytest.importorskip("dask.array")
    M = da.from_array(np.array([1.0, 2.0, 3.0]), chunks=2)
    lazy = invlap.invert("1/(s+M)", 0.5, params={"M": M}, method="gwr", M=30)
    np.testing.assert_allclose(lazy.compute(scheduler="sync"), np.exp(-0.5 * np.array([1, 2, 3])),
                               rtol=1e-14)

"""Binding of positional and keyword arguments to parameters, and its messages."""

import pytest

from support import outcome


def f(s):
    return 1.0 / s


# (function name, positional args, keyword args, exact TypeError message)
BINDING_FAILURES = {
    "missing-both": ("besseli_rust", (), {},
                     "besseli_rust() missing 2 required positional arguments: 'n' and 'x'"),
    "missing-both-gwr": ("gwr_rust", (), {"m": 2},
                         "gwr_rust() missing 2 required positional arguments: 'fn_obj' and 'times'"),
    "missing-second": ("gwr_rust", (f,), {},
                       "gwr_rust() missing 1 required positional argument: 'times'"),
    "missing-first": ("gwr_rust", (), {"times": [1.0]},
                      "gwr_rust() missing 1 required positional argument: 'fn_obj'"),
    "missing-n-given-x": ("besselk_rust", (), {"x": 1.0, "prec": 5},
                          "besselk_rust() missing 1 required positional argument: 'n'"),
    "too-many-bessel": ("besselk_rust", (0, 1.0, 34, 5), {},
                        "besselk_rust() takes from 2 to 3 positional arguments but 4 were given"),
    "too-many-gwr": ("gwr_rust", (f, [1.0], 32, None, 0), {},
                     "gwr_rust() takes from 2 to 4 positional arguments but 5 were given"),
    "unknown": ("besseli_rust", (0, 1.0), {"y": 2},
                "besseli_rust() got an unexpected keyword argument 'y'"),
    "unknown-case": ("besseli_rust", (0, 1.0), {"Prec": 5},
                     "besseli_rust() got an unexpected keyword argument 'Prec'"),
    "unknown-prefix": ("gwr_rust", (f, [1.0]), {"pre": 5},
                       "gwr_rust() got an unexpected keyword argument 'pre'"),
    "unknown-longer": ("gwr_rust", (f, [1.0]), {"precs": 5},
                       "gwr_rust() got an unexpected keyword argument 'precs'"),
    # A lone surrogate has no UTF-8 form, so it names no parameter; its text is
    # shown with the replacement character.
    "unknown-unencodable": ("besseli_rust", (0, 1.0), {"\udcff": 1},
                            "besseli_rust() got an unexpected keyword argument '\ufffd'"),
    "multiple-positional": ("besseli_rust", (0, 1.0), {"n": 1},
                            "besseli_rust() got multiple values for argument 'n'"),
    "multiple-gwr-times": ("gwr_rust", (f, [1.0], 3), {"times": [2.0]},
                           "gwr_rust() got multiple values for argument 'times'"),
    # Precedence: positional count, then keywords in order, then missing ones;
    # binding finishes before any argument is converted.
    "too-many-before-unknown": ("besseli_rust", (1, 2, 3, 4), {"z": 1},
                                "besseli_rust() takes from 2 to 3 positional arguments but 4 were given"),
    "unknown-before-missing": ("besseli_rust", (), {"z": 1},
                               "besseli_rust() got an unexpected keyword argument 'z'"),
    "multiple-before-missing": ("gwr_rust", (f,), {"fn_obj": f},
                                "gwr_rust() got multiple values for argument 'fn_obj'"),
    "unknown-before-conversion": ("besseli_rust", ("a", "b"), {"z": 1},
                                  "besseli_rust() got an unexpected keyword argument 'z'"),
    "missing-before-conversion": ("gwr_rust", (f,), {"m": "bad"},
                                  "gwr_rust() missing 1 required positional argument: 'times'"),
    "first-keyword-multiple": ("besseli_rust", (0, 1.0), {"n": 1, "z": 2},
                               "besseli_rust() got multiple values for argument 'n'"),
    "first-keyword-unknown": ("besseli_rust", (0, 1.0), {"z": 2, "n": 1},
                              "besseli_rust() got an unexpected keyword argument 'z'"),
}


@pytest.mark.parametrize("name, args, kwargs, message", BINDING_FAILURES.values(),
                         ids=BINDING_FAILURES.keys())
def test_binding_failure_message(native, name, args, kwargs, message):
    with pytest.raises(BaseException) as caught:
        getattr(native, name)(*args, **kwargs)
    assert type(caught.value) is TypeError
    assert str(caught.value) == message


# Keyword values must land in their own parameter's slot: a value taken from the
# wrong place in the argument vector shows up as a conversion of the wrong parameter.
@pytest.mark.parametrize("kwargs, parameter", [
    ({"x": "X", "n": 0}, "x"),
    ({"n": "N", "x": 1.0}, "n"),
    ({"prec": "P", "x": 1.0, "n": 0}, "prec"),
], ids=["x", "n", "prec"])
def test_keyword_values_reach_their_parameter(native, kwargs, parameter):
    with pytest.raises(TypeError) as caught:
        native.besseli_rust(**kwargs)
    assert str(caught.value).startswith(f"argument '{parameter}': ")


@pytest.mark.parametrize("name", ["besseli_rust", "besselk_rust"])
def test_keywords_bind_like_positionals(native, name):
    fn = getattr(native, name)
    expected = outcome(lambda: fn(1, 2.5, 20))
    assert outcome(lambda: fn(prec=20, x=2.5, n=1)) == expected
    assert outcome(lambda: fn(1, prec=20, x=2.5)) == expected

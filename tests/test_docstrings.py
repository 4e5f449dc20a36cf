"""The examples in the public docstrings run and print what they say."""

import doctest
import importlib

import pytest

MODULES = ["invlap._inversion", "invlap.bessel", "invlap.expression"]


@pytest.mark.parametrize("name", MODULES)
def test_docstring_examples(name):
    # By name: the package's attribute `invert` is the function, not the module.
    module = importlib.import_module(name)
    result = doctest.testmod(module, optionflags=doctest.NORMALIZE_WHITESPACE)
    assert result.attempted > 0 and result.failed == 0


def test_readme_examples():
    # The quick start shows each example's output: it must stay what the code prints.
    result = doctest.testfile("../README.md", optionflags=doctest.NORMALIZE_WHITESPACE)
    assert result.attempted > 0 and result.failed == 0

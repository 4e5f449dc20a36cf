"""The module object: its attributes, repeated initialisation, sub-interpreters and
the symbols its library exports."""

import ctypes
import inspect
import re
import shutil
import subprocess

import pytest

from support import run_python

NAMES = ["gwr_rust", "besseli_rust", "besselk_rust"]

DOCS = {
    "gwr_rust": (
        "(fn_obj, times, m=32, prec=None)",
        "General GWR inverse Laplace transform for Python callables.\n\n"
        "Evaluates the inverse Laplace transform of fn_obj at each time point\n"
        "using the Gaver-Wynn-Rho algorithm with arbitrary-precision arithmetic.\n\n"
        "Parameters:\n"
        "  fn_obj: Python callable F(s) -> float (Laplace-domain function)\n"
        "  times:  list of time values (must be > 0)\n"
        "  m:      number of Gaver functional terms (default 32)\n"
        "  prec:   decimal digits of precision (default: round(2.1 * m))"),
    "besseli_rust": (
        "(n, x, prec=34)",
        "Compute modified Bessel function I_n(x) at arbitrary precision.\n"
        "Returns float. n must be 0 or 1."),
    "besselk_rust": (
        "(n, x, prec=34)",
        "Compute modified Bessel function K_n(x) at arbitrary precision.\n"
        "Returns float. n must be 0 or 1. x must be > 0."),
}


def test_module_attributes(native):
    assert native.__doc__ == ""
    assert native.__name__ == "invlap._native"
    assert type(native.__all__) is list and native.__all__ == NAMES
    assert {a for a in dir(native) if not a.startswith("__")} == set(NAMES)


@pytest.mark.parametrize("name", NAMES)
def test_function_attributes(native, name):
    fn = getattr(native, name)
    signature, doc = DOCS[name]
    assert fn.__name__ == fn.__qualname__ == name
    assert fn.__text_signature__ == signature
    assert fn.__doc__ == doc
    assert str(inspect.signature(fn)) == signature
    assert all(p.kind is p.POSITIONAL_OR_KEYWORD for p in inspect.signature(fn).parameters.values())
    assert fn.__self__ is native
    assert fn.__module__ == native.__name__


def test_second_initialisation_returns_the_cached_module(native):
    library = ctypes.PyDLL(native.__file__)
    library.PyInit__native.restype = ctypes.py_object
    assert library.PyInit__native() is native
    assert native.__all__ == NAMES


def test_reimport_keeps_module_and_deleted_attribute():
    result = run_python(
        "import sys, importlib\n"
        "import invlap._native as first\n"
        "del first.gwr_rust\n"
        "del sys.modules['invlap._native']\n"
        "again = importlib.import_module('invlap._native')\n"
        "assert again is first\n"
        "assert again.__all__ == ['gwr_rust', 'besseli_rust', 'besselk_rust'], again.__all__\n"
        "assert not hasattr(again, 'gwr_rust')\n")
    assert result.returncode == 0, result.stderr


SUBINTERPRETER_IMPORT = (
    "import _interpreters\n"
    "iid = _interpreters.create(_interpreters.new_config('legacy'))\n"
    "res = _interpreters.exec(iid, 'import invlap._native')\n"
    "_interpreters.destroy(iid)\n"
    "print(res.type.__name__)\n"
    "print(res.msg)\n"
)


# Legacy sub-interpreters load single-phase modules, so the module's own check is
# what refuses them, whether or not the main interpreter imported it first.
@pytest.mark.parametrize("main_first", [True, False], ids=["after-main", "sub-first"])
def test_subinterpreter_is_refused(main_first):
    prelude = "import invlap._native\n" if main_first else ""
    result = run_python(prelude + SUBINTERPRETER_IMPORT + "import invlap._native\n")
    assert result.returncode == 0, result.stderr
    exc_type, message = result.stdout.splitlines()
    assert exc_type == "ImportError"
    assert re.fullmatch(r"PyO3 modules do not yet support subinterpreters, see https://\S+", message)


def test_only_the_init_function_is_exported(native):
    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("nm is not installed")
    listing = subprocess.run([nm, "-D", "--defined-only", native.__file__],
                             capture_output=True, text=True, check=True).stdout
    assert [line.split()[-1] for line in listing.splitlines()] == ["PyInit__native"]

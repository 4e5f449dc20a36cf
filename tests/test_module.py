"""The module object: its attributes, repeated initialisation, sub-interpreters and
the symbols its library exports."""

import ctypes
import inspect
import pathlib
import re
import shutil
import subprocess

import pytest

from support import run_python

NAMES = ["gwr_rust", "besseli_rust", "besselk_rust"]
# The frozen surface of the module, written down once: names, signatures and
# docstrings, which no change may touch.
SURFACE = pathlib.Path(__file__).with_name("native_surface.txt")


def describe(module):
    """The module's surface as text: what a caller can see without calling it."""
    lines = [f"module {module.__name__}", f"__doc__ {module.__doc__!r}",
             f"__all__ {type(module.__all__).__name__} {module.__all__!r}",
             f"public {sorted(a for a in dir(module) if not a.startswith('__'))!r}"]
    for name in module.__all__:
        fn = getattr(module, name)
        parameters = inspect.signature(fn).parameters.values()
        lines += ["", f"def {fn.__name__}{inspect.signature(fn)}",
                  f"__qualname__ {fn.__qualname__}", f"__module__ {fn.__module__}",
                  f"__text_signature__ {fn.__text_signature__}",
                  f"__self__ is the module: {fn.__self__ is module}",
                  "kinds " + " ".join(p.kind.name for p in parameters),
                  "__doc__", fn.__doc__]
    return "\n".join(lines) + "\n"


def test_the_surface_is_the_frozen_one(native):
    assert describe(native) == SURFACE.read_text()


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

"""`invlap invert --callable`: the Python function F named on the command line."""

import importlib
import importlib.util
import os

from invlap._cli.arguments import CommandError

__all__ = ["load_callable"]


def load_callable(name):
    """The function of MODULE:NAME or FILE.py:NAME; a CommandError says what is
    wrong with the name as the user wrote it."""
    where, _, attribute = name.rpartition(":")
    if not where or not attribute:
        raise CommandError(f"--callable: {name!r} is not MODULE:NAME or FILE.py:NAME")
    if where.endswith(".py"):
        if not os.path.isfile(where):
            raise CommandError(f"--callable: no file {where!r}")
        spec = importlib.util.spec_from_file_location(
            os.path.splitext(os.path.basename(where))[0], where)
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
    else:
        try:
            module = importlib.import_module(where)
        except ImportError as error:
            raise CommandError(f"--callable: cannot import {where!r}: {error}") from None
    function = getattr(module, attribute, None)
    if not callable(function):
        raise CommandError(f"--callable: {where!r} has no function {attribute!r}")
    return function

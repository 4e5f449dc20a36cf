"""What the module offers: run with `python -m invlap.demo` (or `make demo`)."""

import inspect

from invlap import _native


def main() -> None:
    print("invlap._native offers:")
    for name in _native.__all__:
        function = getattr(_native, name)
        print(f"\n{name}{inspect.signature(function)}")
        print("    " + function.__doc__.replace("\n", "\n    "))


if __name__ == "__main__":
    main()

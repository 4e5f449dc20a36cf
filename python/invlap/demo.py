"""What the module offers: run with `python -m invlap.demo` (or `make demo`)."""

import inspect

from invlap import _native


def main() -> None:
    print("invlap._native offers:")
    for name in _native.__all__:
        function = getattr(_native, name)
        print(f"\n{name}{inspect.signature(function)}")
        print("    " + function.__doc__.replace("\n", "\n    "))
    bessel_table()


def bessel_table() -> None:
    """I0, I1, K0 and K1 at a few points beside mpmath's values at 34 digits."""
    import mpmath

    mpmath.mp.dps = 34
    print("\nModified Bessel functions at 34 digits (default), rounded to double:")
    print(f"{'':6}{'x':>6}  {'besseli_rust / besselk_rust':>26}  {'mpmath':>26}")
    for name, ours, reference, n in [
        ("I0", _native.besseli_rust, mpmath.besseli, 0),
        ("I1", _native.besseli_rust, mpmath.besseli, 1),
        ("K0", _native.besselk_rust, mpmath.besselk, 0),
        ("K1", _native.besselk_rust, mpmath.besselk, 1),
    ]:
        for x in (0.5, 1.0, 10.0, 24.5, 30.0, 100.0):
            print(f"{name:6}{x:>6}  {ours(n, x):>26.17g}  {float(reference(n, x)):>26.17g}")


if __name__ == "__main__":
    main()

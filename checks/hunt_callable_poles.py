"""Hunt for silently wrong values of callables beside pole pairs and branch points.

A black-box F says nothing of its singularities: the probes must find them, and
the Bromwich line must catch what they miss. The family here is built to
stress both: a diffusive term plus a pole pair at radius rho and angle theta
from the positive real axis (10 to 170 degrees: growing, undamped-ish and
damped waves), with a full residue and with one 10^-6 of it (a pole that
hardly raises |F| between the probes' rays), as a simple pole pair, a double
one, and a pair of square-root branch points (which no residue takes out):

    a / ((s - p)(s - conj p))       a e^(Re p t) sin(Im p t) / Im p
    a / ((s - p)(s - conj p))^2     a e^(Re p t) (sin(b t) - b t cos(b t)) / (2 b^3), b = Im p
    a / sqrt((s - p)(s - conj p))   a e^(Re p t) J0(Im p t)

on 300 times in [1e-2, 1e2], as a vectorized NumPy F and as a plain one.

A point is silent when its estimate claims the requested digits and yet
|value - exact| > error; it is flagged when it does not claim them. The exact
f is a closed form, evaluated in mpmath at 30 digits.

    python checks/hunt_callable_poles.py [--method auto] [--kinds numpy plain]
                                         [--radii 1 10 100] [--digits 12]
                                         [--singularities pole "double pole" branch]
"""

import argparse
import collections
import math
import warnings

import mpmath as mp
import numpy as np

import invlap

TIMES = np.geomspace(1e-2, 1e2, 300)
ANGLES = (10, 30, 50, 70, 85, 95, 100, 110, 125, 140, 155, 170)
AMPLITUDES = (1.0, 1e-6)
# (name, the wave's F given (s - p)(s - conj p) in NumPy, its f at t given p in mpmath,
#  the power of Im p that makes it about as large as the base at t ~ 1)
SINGULARITIES = [
    ("pole", lambda q: 1 / q, lambda t, p: mp.exp(p.real * t) * mp.sin(p.imag * t) / p.imag, 1),
    ("double pole", lambda q: 1 / q ** 2,
     lambda t, p: mp.exp(p.real * t) * (mp.sin(p.imag * t) - p.imag * t * mp.cos(p.imag * t))
     / (2 * p.imag ** 3), 3),
    ("branch", lambda q: 1 / np.sqrt(q),
     lambda t, p: mp.exp(p.real * t) * mp.besselj(0, p.imag * t), 0),
]
# (name, F in NumPy, f in mpmath)
BASES = [
    ("1/sqrt(s)", lambda s: 1 / np.sqrt(s), lambda t: 1 / mp.sqrt(mp.pi * t)),
    ("exp(-sqrt(s))/s", lambda s: np.exp(-np.sqrt(s)) / s,
     lambda t: mp.erfc(1 / (2 * mp.sqrt(t)))),
]


def family(radii, singularities):
    for base_name, base_F, base_f in BASES:
        for wave_name, wave_F, wave_f, power in SINGULARITIES:
            if wave_name not in singularities:
                continue
            for rho in radii:
                for angle in ANGLES:
                    for a in AMPLITUDES:
                        p = rho * complex(math.cos(math.radians(angle)),
                                          math.sin(math.radians(angle)))
                        amplitude = a * abs(p.imag) ** power
                        name = f"{base_name} + {amplitude:.3g} x {wave_name}, " \
                               f"p = {rho:g}e^({angle}i)"
                        yield name, (base_F, wave_F), (base_f, wave_f), p, amplitude


def exact(fs, p, amplitude):
    base_f, wave_f = fs
    with mp.workdps(30):
        q = mp.mpc(p.real, p.imag)
        return np.array([float(base_f(mp.mpf(float(t))) + amplitude * wave_f(mp.mpf(float(t)), q))
                         for t in TIMES])


def callable_of(Fs, p, amplitude, kind):
    base_F, wave_F = Fs
    pc = p.conjugate()

    def vectorized(s):
        return base_F(s) + amplitude * wave_F((s - p) * (s - pc))

    if kind == "numpy":
        return vectorized
    return lambda s: complex(vectorized(np.complex128(s)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--method", default="auto")
    parser.add_argument("--kinds", nargs="+", default=["numpy"], choices=["numpy", "plain"])
    parser.add_argument("--radii", nargs="+", type=float, default=[1.0, 10.0, 100.0])
    parser.add_argument("--digits", type=int, default=12)
    parser.add_argument("--singularities", nargs="+", default=[n for n, *_ in SINGULARITIES],
                        choices=[n for n, *_ in SINGULARITIES])
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    totals = collections.Counter()
    for name, Fs, fs, p, amplitude in family(args.radii, args.singularities):
        truth = exact(fs, p, amplitude)
        usable = np.isfinite(truth) & (np.abs(truth) < 1e300)
        for kind in args.kinds:
            F = callable_of(Fs, p, amplitude, kind)
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                r = invlap.invert(F, TIMES, method=args.method, digits=args.digits,
                                  full_output=True)
            tolerance = 10.0 ** -args.digits * np.where(r.value == 0, 1.0, np.abs(r.value))
            with np.errstate(invalid="ignore"):
                claims = r.error <= tolerance
                off = np.abs(r.value - truth)
                silent = usable & claims & ~(off <= r.error)
            totals["points"] += int(usable.sum())
            totals["met"] += int((usable & claims & ~silent).sum())
            totals["flagged"] += int((usable & ~claims).sum())
            totals["silent"] += int(silent.sum())
            totals["values of F"] += r.evaluations.values
            if silent.any() or args.verbose:
                worst = np.flatnonzero(silent)
                detail = ""
                if worst.size:
                    i = worst[np.argmax(off[worst] / np.maximum(r.error[worst], 1e-300))]
                    detail = (f": worst t = {TIMES[i]:.4g}, off {off[i]:.2e} "
                              f"(relative {off[i] / abs(truth[i]):.1e}), "
                              f"estimate {r.error[i]:.1e}")
                print(f"{kind:5} {name}: {int(silent.sum())} silent, "
                      f"{int((usable & ~claims).sum())} flagged{detail}", flush=True)
    print(dict(totals))


if __name__ == "__main__":
    main()

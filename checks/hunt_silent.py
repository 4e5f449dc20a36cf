"""Hunt for silently wrong values of invlap.invert on checks/literature_pairs.py.

A point is silent when its estimate claims the requested digits (no
AccuracyWarning: error <= 10**-digits * |value|, or 10**-digits where the value
is 0) and yet |value - exact| > error. Each pair is inverted once at all its
times; the exact f comes from the pair's own mpmath formula, evaluated at
digits + 30 decimal digits and more until two successive precisions agree:
where they never do (or the formula refuses the time) the point has no
reliable reference and is skipped, and said so.

    python checks/hunt_silent.py --digits 15 30 --method auto --times own
    python checks/hunt_silent.py --digits 15 --times early --sample 4
    python checks/hunt_silent.py --digits 15 --callable numpy plain
"""

import argparse
import cmath
import collections
import multiprocessing
import os
import signal
import sys
import time
import warnings

import mpmath as mp
import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

TIMES = {"early": list(np.geomspace(1e-6, 1e-3, 10)), "late": list(np.geomspace(1e3, 1e6, 10))}
NAMES = "sqrt exp log sin cos tan sinh cosh tanh asinh acosh atanh atan erf erfc gamma".split()
# Where a formula overflows in doubles though F does not, the callable is given
# the same F in a form doubles can hold.
DOUBLE_FORMS = {"exp(s**2/4)*erfc(s/2)": "erfcx(s/2)"}


def _namespaces():
    """The functions of the expression language for NumPy arrays and for plain
    complex scalars (cmath, and scipy.special where cmath has none)."""
    import scipy.special as sp
    numpy_ns = {n: getattr(np, {"asinh": "arcsinh", "acosh": "arccosh", "atanh": "arctanh",
                                "atan": "arctan"}.get(n, n), None) for n in NAMES}
    numpy_ns.update(erf=sp.erf, erfc=sp.erfc, erfcx=sp.erfcx, gamma=sp.gamma,
                    besselk=sp.kv, besseli=sp.iv, besselj=sp.jv, bessely=sp.yv,
                    pi=np.pi, e=np.e, euler=np.euler_gamma)
    plain_ns = {n: getattr(cmath, n) for n in NAMES if hasattr(cmath, n)}
    scalar = lambda g: (lambda *a: complex(g(*a)))
    plain_ns.update(erf=scalar(sp.erf), erfc=scalar(sp.erfc), erfcx=scalar(sp.erfcx),
                    gamma=scalar(sp.gamma), besselk=scalar(sp.kv), besseli=scalar(sp.iv),
                    besselj=scalar(sp.jv), bessely=scalar(sp.yv),
                    pi=cmath.pi, e=cmath.e, euler=0.5772156649015329)
    return numpy_ns, plain_ns


def make_callable(F, kind):
    """F as a Python callable: 'numpy' (vectorized) or 'plain' (one s at a time)."""
    numpy_ns, plain_ns = _namespaces()
    code = compile(DOUBLE_FORMS.get(F, F), F, "eval")
    if kind == "numpy":
        def numpy_F(s):
            z = np.asarray(s, dtype=complex)
            with np.errstate(all="ignore"):
                v = np.broadcast_to(eval(code, numpy_ns, {"s": z}), z.shape)
            return v if np.iscomplexobj(s) else v.real
        return numpy_F

    def plain_F(s):
        v = complex(eval(code, plain_ns, {"s": complex(s)}))
        return v if isinstance(s, complex) else v.real
    return plain_F


def _alarm(*_):
    raise TimeoutError("timed out")


def reference(f, t, digits):
    """(exact, None) or (None, why): f at rising precision until two successive
    precisions agree (a formula that cancels needs more than digits + 30)."""
    previous = None
    for extra in (30, 50, 90, 170):
        with mp.workdps(digits + extra):
            try:
                value = mp.mpf(f(mp.mpf(t)))
            except Exception as err:  # the formula refuses this time (or fails: said)
                return None, f"reference refused: {type(err).__name__}: {err}"
            if not mp.isfinite(value):
                return None, "reference not finite"
            if previous is not None and abs(previous - value) <= mp.mpf(10) ** -(digits + 8) * abs(value):
                return value, None
            previous = value
    return None, "reference unstable up to digits + 170"


def run_pair(job):
    """Invert one pair at all its times and judge every point."""
    F, times, digits, method, kind, output, timeout = job
    import invlap
    from literature_pairs import PAIRS
    f = PAIRS[F][0]
    signal.signal(signal.SIGALRM, _alarm)
    signal.alarm(timeout)
    start = time.monotonic()
    try:
        target = F if kind == "expr" else make_callable(F, kind)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", invlap.AccuracyWarning)
            res = invlap.invert(target, times, digits=digits, method=method, full_output=True,
                                output=output, workers=1, vectorized=(kind == "numpy"))
    except BaseException as err:  # a crash, a hang (timeout) or a refusal: all reported
        return F, kind, None, f"{type(err).__name__}: {err}"[:300], time.monotonic() - start
    finally:
        signal.alarm(0)
    points = []
    methods = np.broadcast_to(np.asarray(res.method, dtype=object), (len(times),))
    logs = np.broadcast_to(np.asarray(res.error_log10 if res.error_log10 is not None
                                      else np.log10(res.error), dtype=float), (len(times),))
    for t, value, log_err, used in zip(times, res.value, logs, methods):
        exact, why = reference(f, t, digits)
        with mp.workdps(digits + 50):
            value = mp.mpf(value)
            err = mp.mpf(10) ** log_err if np.isfinite(log_err) else (
                mp.mpf(0) if log_err == -np.inf else mp.inf)
            if not np.isfinite(log_err) and np.isnan(log_err):
                err = mp.nan
            claims = err <= mp.mpf(10) ** -digits * (abs(value) if value != 0 else 1)
            if why:
                verdict = "noref"
            elif not claims:
                verdict = "flagged"
            else:
                verdict = "silent" if not abs(value - exact) <= err else "met"
            points.append((t, verdict, mp.nstr(value, digits + 2), exact and mp.nstr(exact, digits + 2),
                           mp.nstr(err, 3), exact is not None and mp.nstr(abs(value - exact), 3), used, why))
    return F, kind, points, None, time.monotonic() - start


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--digits", type=int, nargs="+", default=[15])
    ap.add_argument("--method", default="auto")
    ap.add_argument("--times", default="own", choices=["own", "early", "late"])
    ap.add_argument("--callable", nargs="*", default=None, choices=["numpy", "plain"],
                    help="invert F wrapped as a callable (both kinds when given alone)")
    ap.add_argument("--output", default="auto", choices=["auto", "float", "mpmath"],
                    help="auto: doubles at 15 digits and below, mpmath above")
    ap.add_argument("--sample", type=int, default=0, help="at most this many times per pair")
    ap.add_argument("--classes", nargs="*", help="only these classes")
    ap.add_argument("--match", help="only pairs whose F contains this text")
    ap.add_argument("--procs", type=int, default=1)
    ap.add_argument("--timeout", type=int, default=300, help="seconds per pair")
    ap.add_argument("--verbose", action="store_true", help="print each pair's time as it ends")
    args = ap.parse_args()
    from literature_pairs import CLASS_OF, PAIRS
    kinds = ["expr"] if args.callable is None else (args.callable or ["numpy", "plain"])

    jobs = []
    for digits in args.digits:
        output = args.output if args.output != "auto" else ("mpmath" if digits > 15 else "float")
        for F, (_, own) in PAIRS.items():
            if (args.classes and CLASS_OF[F] not in args.classes) or (args.match and args.match not in F):
                continue
            times = [float(t) for t in (own if args.times == "own" else TIMES[args.times])]
            if args.sample and len(times) > args.sample:
                times = [times[i] for i in np.linspace(0, len(times) - 1, args.sample).round().astype(int)]
            for kind in kinds:
                jobs.append((F, times, digits, args.method, kind, output, args.timeout))

    counts = collections.defaultdict(collections.Counter)
    silent, noref, failures = [], [], []
    start = time.monotonic()
    ctx = multiprocessing.get_context("spawn")
    with ctx.Pool(args.procs, maxtasksperchild=20) as pool:
        for job, (F, kind, points, failure, seconds) in zip(jobs, pool.imap(run_pair, jobs)):
            digits = job[2]
            key = (digits, kind, CLASS_OF[F])
            if failure:
                counts[key]["error"] += len(job[1])
                failures.append((digits, kind, F, failure))
                continue
            for t, verdict, value, exact, err, off, used, why in points:
                counts[key][verdict] += 1
                if verdict == "silent":
                    silent.append((digits, kind, F, t, value, exact, err, off, used))
                elif verdict == "noref":
                    noref.append((F, t, why))
            if args.verbose or seconds > 60:
                print(f"  {F} ({kind}, {digits} digits): {seconds:.1f} s", flush=True)

    print(f"\nmethod={args.method} times={args.times} kinds={kinds} ({time.monotonic() - start:.0f} s)")
    print(f"{'digits':>6} {'kind':>5} {'class':<12} {'met':>5} {'flagged':>7} {'silent':>6} {'noref':>5} {'error':>5}")
    total = collections.Counter()
    for (digits, kind, cls), c in sorted(counts.items()):
        total.update(c)
        print(f"{digits:>6} {kind:>5} {cls:<12} {c['met']:>5} {c['flagged']:>7} {c['silent']:>6} "
              f"{c['noref']:>5} {c['error']:>5}")
    print(f"{'':>6} {'':>5} {'total':<12} {total['met']:>5} {total['flagged']:>7} {total['silent']:>6} "
          f"{total['noref']:>5} {total['error']:>5}")
    for F, t, why in noref:
        print(f"no reliable reference: {F} at t={t!r}: {why}")
    for digits, kind, F, failure in failures:
        print(f"EXCEPTION ({digits} digits, {kind}): {F!r}: {failure}")
    for digits, kind, F, t, value, exact, err, off, used in silent:
        print(f"SILENT ({digits} digits, {kind}, method {used}): F={F!r} t={t!r}\n"
              f"    value={value}\n    exact={exact}\n    estimate={err}  actual error={off}")


if __name__ == "__main__":
    main()

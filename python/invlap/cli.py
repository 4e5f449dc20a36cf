"""The `invlap` command (also `python -m invlap`): invert a transform into a table, a CSV
and a plot; evaluate a Bessel function; run the demo.

Exit status: 0 done; 2 a mistake in the command (bad expression, option, range,
parameter or output path; also a refusal by the library); 130 interrupted with
Ctrl-C; 143 ended by SIGTERM; 1 an unexpected failure. Mistakes are reported as
one line; `--debug` adds the traceback.
"""

import argparse
import os
import signal
import sys
import threading
import traceback

import mpmath

import invlap
from invlap._cli.arguments import (
    CommandError, Curves, check_workers, parse_param, parse_times)
from invlap._cli.callable_source import load_callable
from invlap._cli.files import OutputFile, refuse_same_file
from invlap._cli.output import cost_lines, table_lines, write_csv

__all__ = ["main"]

PROG = "invlap"
DEFAULT_TIMES = "1e-2..1e2:41"
DEFAULT_DIGITS = 15
# A callable returns doubles: invert's default for them.
CALLABLE_DIGITS = 12
# Failures that come from what the user asked for, as opposed to faults of the program.
USER_ERRORS = (ValueError, TypeError, OSError, MemoryError)

INVERT_EPILOG = f"""\
--t and the values of --param are a comma list of items, each one of
  a number          0.5
  a linear range    START:STOP:COUNT   COUNT values, evenly spaced, ends included
  a log range       START..STOP:COUNT  COUNT values, evenly spaced in log
for example
  --t 0.5              one time
  --t 0.1,1,10         three times
  --t 0:10:101         0, 0.1, 0.2, ..., 10
  --t 1e-2..1e4:61     61 times from 0.01 to 10000, 10 a decade
  --t 0,1e-3..1e3:7    t = 0 (where f is f(0+)) and 0.001, 0.01, ..., 1000
The default is --t {DEFAULT_TIMES}.

A parameter with several values draws one curve per value; with several such
parameters, one curve per combination. The CSV has a row per (parameters, t).
The error columns are the estimated absolute errors of the values beside them.

--derivative adds t*df/dt, computed as t * L^-1[s F(s) - f(0+)](t): the
well-test derivative.

--plot draws on log-log axes when t spans more than two decades and f keeps
one sign, else on linear axes. It leaves out values whose estimated error is
as large as themselves: they have no correct digit.

On a terminal, runs longer than a second show a progress bar on stderr; it
needs tqdm (pip install 'invlap[cli]'). Ctrl-C stops the run (exit status 130),
as SIGTERM does (143); neither leaves a partial file.

The table is printed first; then --csv and --plot are written whole, each
through a hidden temporary file renamed into place. An existing file is
overwritten (keeping its permissions and hard links); a symlink is followed to
the file it points to. Refused before any work: an empty name, a directory, a
read-only file, and the same file for --csv and --plot.

With --callable, EXPR names a Python function instead of an expression:
MODULE:NAME (a module on the Python path) or FILE.py:NAME, called once per
value of s with a float or complex s and the parameters as keywords; the
progress bar then counts the values of s it has given. --verbose reports the
calls of F and the time spent in F against the whole run.

An expression that starts with '-' goes last, after '--':
  invlap invert --t 1 -- "-1/s"
example:
  invlap invert "besselk(0, r*sqrt(s))/s" --param r=1,3 --t 1e-2..1e3:51 \\
      --derivative --csv line-source.csv --plot line-source.png
"""


class _Parser(argparse.ArgumentParser):
    """argparse with its mistakes reported in one line, like the command's others."""

    def error(self, message):
        self.exit(2, f"{PROG}: error: {message} (see {self.prog} --help)\n")


def _parser():
    debug = _Parser(add_help=False)
    debug.add_argument("--debug", action="store_true", default=argparse.SUPPRESS,
                       help="show the traceback of a failure")
    parser = _Parser(prog=PROG, parents=[debug], description=(
        "Inverse Laplace transforms F(s) -> f(t) and Bessel functions, in multiple "
        "precision."))
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")

    inv = commands.add_parser(
        "invert", parents=[debug], help="f(t) from F(s): a table, a CSV, a plot",
        description="f(t) at the given times from F(s), an expression in s and named\n"
        "parameters (the language: python -c 'help(\"invlap.expression\")').",
        epilog=INVERT_EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter)
    inv.add_argument("expression", metavar="EXPR", help='the transform, e.g. "1/(s+1)"')
    inv.add_argument("--t", dest="times", metavar="SPEC", default=DEFAULT_TIMES,
                     help="the times (see below)")
    inv.add_argument("--param", action="append", default=[], metavar="NAME=VALUES",
                     help="a parameter of EXPR; repeat for each (see below)")
    inv.add_argument("--digits", type=int, metavar="D",
                     help=f"significant digits wanted (default {DEFAULT_DIGITS}; "
                     f"{CALLABLE_DIGITS} with --callable)")
    inv.add_argument("--method", metavar="M",
                     help="the inversion method (default: the library's choice)")
    inv.add_argument("--workers", type=int, metavar="N",
                     help="threads to use, 1 to 1024 (default: one per core)")
    inv.add_argument("--csv", metavar="FILE", help="also write the values to a CSV file")
    inv.add_argument("--plot", metavar="FILE",
                     help="draw f(t) into FILE.png, .svg or .pdf (needs matplotlib)")
    inv.add_argument("--derivative", action="store_true",
                     help="add the well-test derivative t*df/dt")
    inv.add_argument("--callable", action="store_true",
                     help="EXPR names a Python function F(s, **params) returning doubles "
                     "instead: MODULE:NAME or FILE.py:NAME (for a numerical solver)")
    inv.add_argument("--verbose", action="store_true",
                     help="say on stderr how long the work took and, with --callable, "
                     "how many calls of F it took and the time spent in F")
    inv.set_defaults(run=_invert, parser=inv)

    bessel = commands.add_parser(
        "bessel", parents=[debug], help="a modified Bessel function I_n(x) or K_n(x)",
        description="The modified Bessel function I_N(X) or K_N(X) for an integer N >= 0.")
    bessel.add_argument("kind", choices=("i", "k"), help="i for I_N, k for K_N")
    bessel.add_argument("n", type=int, metavar="N", help="the order")
    bessel.add_argument("x", type=float, metavar="X", help="the argument (read as a double)")
    bessel.add_argument("--digits", type=int, metavar="D",
                        help="significant digits (default: the double, 17 digits)")
    bessel.set_defaults(run=_bessel, parser=bessel)

    demo = commands.add_parser("demo", parents=[debug], help="the tour `make demo` shows")
    demo.set_defaults(run=lambda args: _demo(), parser=demo)
    return parser


def _invert(args):
    times = parse_times(args.times)
    curves = Curves.from_params([parse_param(p) for p in args.param], times.size)
    transform = load_callable(args.expression) if args.callable else args.expression
    if args.digits is None:
        args.digits = CALLABLE_DIGITS if args.callable else DEFAULT_DIGITS
    options = {"digits": args.digits}
    options.update({k: v for k, v in (("method", args.method),
                                      ("workers", check_workers(args.workers)))
                    if v is not None})
    # Every path is checked before the work, which may take hours.
    csv_file = None if args.csv is None else OutputFile("--csv", args.csv)
    plot_file = None if args.plot is None else OutputFile("--plot", args.plot)
    refuse_same_file(csv_file, plot_file)
    plot_format = None
    if plot_file is not None:
        from invlap._cli.plot import check_plot_target
        plot_format = check_plot_target(args.plot)
    from invlap._cli.run import run_inversions
    series = run_inversions(transform, times, curves, options, args.derivative,
                            warn=_warn)
    _deliver(args, times, curves, series, csv_file, plot_file, plot_format)
    if args.verbose:
        for line in cost_lines(series):
            print(f"{PROG}: {line}", file=sys.stderr)


def _deliver(args, times, curves, series, csv_file, plot_file, plot_format):
    """The table, then each file. Each on its own: a file that cannot be written (a
    full disk, a reader of the table that stopped early) must not cost the others."""
    failures, broken = [], None
    try:
        print("\n".join(table_lines(args.expression, times, curves, series, args.digits)))
        sys.stdout.flush()
    except BrokenPipeError as e:
        broken = e
    if csv_file is not None:
        try:
            csv_file.write(lambda path: write_csv(path, times, curves, series, args.digits))
        except CommandError as e:
            failures.append(e)
    if plot_file is not None:
        from invlap._cli.plot import plot
        left_out = []
        try:
            plot_file.write(lambda path: left_out.append(
                plot(path, plot_format, args.expression, times, curves, series)))
        except CommandError as e:
            failures.append(e)
        if left_out and left_out[0]:
            _warn(f"--plot: {left_out[0]} values whose estimated error is as large as "
                  "themselves are not drawn")
    if broken is not None:
        failures.append(broken)  # last: its exit status is the one given
    for failure in failures[:-1]:
        _report(failure, False)
    if failures:
        raise failures[-1]


# The Bessel functions of the command, by kind: correctly rounded doubles, or
# mpmath values carrying every digit asked for.
BESSEL = {"i": invlap.besseli, "k": invlap.besselk}


def _bessel(args):
    if args.n < 0:
        raise CommandError(f"N = {args.n}: the order must be >= 0")
    if args.digits is not None and args.digits < 1:
        raise CommandError(f"--digits {args.digits}: must be >= 1")
    if args.digits is None:
        value = BESSEL[args.kind](args.n, args.x)
    else:
        value = BESSEL[args.kind](args.n, args.x, digits=args.digits, output="mpmath")
    if isinstance(value, mpmath.mpf):
        print(mpmath.nstr(value, args.digits, strip_zeros=False))
    else:
        print(repr(float(value)))


def _demo():
    from invlap import demo
    demo.main()


def _warn(text):
    print(f"{PROG}: warning: {text}", file=sys.stderr)


def _describe(error):
    # A ValueError's message (an ExpressionError's with the position) is the user's
    # answer; other types name themselves, as a bare MemoryError must.
    text = str(error)
    if isinstance(error, ValueError):
        return text
    return f"{type(error).__name__}: {text}" if text else type(error).__name__


class Terminated(BaseException):
    """SIGTERM, raised where the command happens to be, so that the way out removes
    any temporary file as Ctrl-C does. Not an Exception: nothing may take it for a
    failure of the work and carry on."""


def _terminate(number, frame):
    raise Terminated


def _report(error, debug):
    if debug:
        traceback.print_exception(error)
    user = isinstance(error, USER_ERRORS)
    where = "error" if user else "internal error"
    hint = "" if user or debug else " (--debug shows the traceback)"
    print(f"{PROG}: {where}: {_describe(error)}{hint}", file=sys.stderr)
    return 2 if user else 1


def main(argv=None):
    """Run the command with `argv` (default sys.argv[1:]); returns the exit status."""
    if threading.current_thread() is not threading.main_thread():
        return _main(argv)  # only the main thread may handle signals
    previous = signal.signal(signal.SIGTERM, _terminate)
    try:
        return _main(argv)
    finally:
        signal.signal(signal.SIGTERM, previous)


def _main(argv):
    debug = "--debug" in (sys.argv[1:] if argv is None else argv)
    try:
        args, unknown = _parser().parse_known_args(argv)
        if unknown:  # refused by the subcommand, so that the hint names its --help
            args.parser.error(f"unrecognized arguments: {' '.join(unknown)}")
        args.run(args)
        sys.stdout.flush()
        return 0
    except KeyboardInterrupt:
        if debug:
            traceback.print_exc()
        print(f"{PROG}: interrupted", file=sys.stderr)
        return 130
    except Terminated:
        print(f"{PROG}: terminated", file=sys.stderr)
        return 128 + signal.SIGTERM
    except BrokenPipeError:
        # The reader stopped early (| head): say nothing more, and keep the
        # interpreter's final flush from failing on the closed pipe too.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 141
    except Exception as error:  # the one place where every failure is reported
        return _report(error, debug)

"""The invlap command, end to end through subprocesses: the table, the CSV, the plot,
the derivative, the exit statuses and the progress bar (the output files' own cases are
in test_cli_files.py)."""

import csv
import itertools
import os
import pathlib
import re
import resource
import signal
import struct
import subprocess
import sys
import warnings

import mpmath
import numpy as np
import pytest

import invlap
from support import command_on_a_terminal

LINE_SOURCE = "besselk(0, r*sqrt(s))/s"
# Minutes of work at 40 digits (about a second a point here): long enough to interrupt.
LONG_RUN = ["invert", "besselk(0, 7*sqrt(s))/s", "--t", "1e-2..1e4:400", "--digits", "40"]


def run(*args, **kwargs):
    return subprocess.run([sys.executable, "-m", "invlap", *args], capture_output=True,
                          text=True, timeout=300, **kwargs)


def run_ok(*args, **kwargs):
    done = run(*args, **kwargs)
    assert done.returncode == 0, done.stderr
    return done.stdout


def table(stdout):
    """{curve label: rows of words} from the printed table ("" for a single curve)."""
    blocks = {}
    for block in stdout.split("\n\n")[1:]:
        lines = block.splitlines()
        label = "" if lines[0].split()[0] == "t" else lines.pop(0)
        blocks[label] = [line.split() for line in lines[1:]]
    return blocks


def test_table_holds_the_values_of_invert_to_the_digits_asked():
    t = np.concatenate([[0.0], np.geomspace(0.1, 10, 5)])
    blocks = table(run_ok("invert", LINE_SOURCE, "--param", "r=0.5,2", "--t", "0,0.1..10:5",
                          "--digits", "20"))
    assert list(blocks) == ["r = 0.5", "r = 2"]
    for r, rows in zip([0.5, 2.0], blocks.values()):
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", invlap.AccuracyWarning)
            want = invlap.invert(LINE_SOURCE, t, r=r, digits=20, output="mpmath")
        assert [float(row[0]) for row in rows] == pytest.approx(t, rel=1e-6)  # 6 digits shown
        with mpmath.workdps(40):  # reads the 20 printed digits exactly
            for row, value in zip(rows, want):
                # 20 significant digits printed: within half a unit in the 20th.
                assert abs(mpmath.mpf(row[1]) - value) <= 5e-20 * abs(value)


def test_csv_has_a_row_per_parameter_set_and_time_and_round_trips(tmp_path):
    path = tmp_path / "decay.csv"
    stdout = run_ok("invert", "a/(s+b)", "--param", "a=1,2", "--param", "b=0.5:1.5:3",
                    "--t", "0.5,1..4:3", "--csv", str(path))
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    assert rows[0] == ["a", "b", "t", "f(t)", "f(t) error", "method"]
    keys = [(a, b, t) for a, b in itertools.product([1.0, 2.0], [0.5, 1.0, 1.5])
            for t in [0.5, 1.0, 2.0, 4.0]]
    assert [tuple(map(float, row[:3])) for row in rows[1:]] == keys  # exact doubles
    shown = [row for rows in table(stdout).values() for row in rows]
    for (a, b, t), row, line in zip(keys, rows[1:], shown):
        assert row[3] == line[1]  # the same text as the table
        exact = a * mpmath.exp(-mpmath.mpf(b) * t)
        assert abs(mpmath.mpf(row[3]) - exact) <= 1e-14 * exact


@pytest.mark.parametrize("expression, slope", [
    ("1/s**2", lambda t: t),                                      # f = t
    ("1/(s+1)", lambda t: -t * mpmath.exp(-t)),                   # f(0+) = 1 subtracted
    ("1/sqrt(s)", lambda t: -1 / (2 * mpmath.sqrt(mpmath.pi * t))),  # f(0+) infinite
], ids=["ramp", "exponential", "infinite-start"])
def test_derivative_is_t_times_df_dt(tmp_path, expression, slope):
    path = tmp_path / "d.csv"
    run_ok("invert", expression, "--t", "0.5,1,2,4", "--derivative", "--csv", str(path))
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    for row in rows:
        exact = slope(mpmath.mpf(row["t"]))
        assert abs(mpmath.mpf(row["t*df/dt"]) - exact) <= 1e-13 * abs(exact)


def test_plot_is_a_png_of_the_promised_size_with_something_drawn(tmp_path):
    import matplotlib.image

    path = tmp_path / "curves.png"
    run_ok("invert", LINE_SOURCE, "--param", "r=1,3", "--t", "1e-2..1e3:31", "--derivative",
           "--plot", str(path))
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR"
    assert struct.unpack(">II", data[16:24]) == (800, 500)
    pixels = matplotlib.image.imread(path)[:, :, :3]
    ink = (pixels < 0.9).any(axis=2).mean()
    colours = np.unique((pixels * 255).astype(int).reshape(-1, 3), axis=0)
    # Axes, labels and four curves: a few per cent of the area and many shades of
    # two line colours, where a blank or one-colour image has one.
    assert 0.01 < ink < 0.5 and len(colours) > 50


def _method_refusal():
    try:
        invlap.invert("1/s", 1.0, method="nope")
    except ValueError as e:
        return str(e)


def _cap_memory():
    limit = 2 << 30  # bytes of address space
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))


@pytest.mark.parametrize("args, message", [
    (["invert", "1/(s+"], """syntax error at position 2 in "1/(s+"; '(' was never closed"""),
    (["invert", "1/s", "--bogus"], "unrecognized arguments: --bogus (see invlap invert --help)"),
    (["invert", "1/s", "--t", "1..0:5"],
     "--t 1..0:5: a log range needs finite bounds > 0, not '1..0:5'"),
    (["invert", "1/s", "--t", "0:1:1e9"],
     "--t 0:1:1e9: the count must be a whole number from 1 to 1000000, not '1e9'"),
    (["invert", "1/(s+a)", "--param", "a=1,x"], "--param a=1,x: 'x' is not a number"),
    (["invert", "1/s", "--param", "a=1"], """parameter 'a' does not appear in "1/s\""""),
    (["invert", "1/s", "--method", "nope"], _method_refusal()),
    (["invert", "1/s", "--csv", "/nonexistent/x.csv"],
     "--csv /nonexistent/x.csv: cannot write there (No such file or directory)"),
    (["invert", "r*q/s", "--t", "1", "--param", "r=0:1:1000000", "--param", "q=0:1:1000000"],
     "1000000000000 curves of 1 times are 1000000000000 points, at most 10000000"),
    (["invert", "1/s", "--t", ",".join(["0:1:1000000"] * 300)],
     f"--t {','.join(['0:1:1000000'] * 300)}: 300000000 values, at most 1000000"),
    (["invert", "1/s", "--workers", "99999999999"], "--workers 99999999999: must be from 1 to 4096"),
    (["bessel", "i", "-1", "1"], "N = -1: the order must be >= 0"),
], ids=["expression", "option", "range", "count", "parameter", "unused", "method",
        "path", "grid", "values", "workers", "order"])
def test_mistakes_are_one_line_and_status_2(args, message):
    # Refusals need little memory: under a cap, one that built its values before
    # counting them ends in MemoryError instead of filling the machine.
    done = run(*args, preexec_fn=_cap_memory)
    assert (done.returncode, done.stdout, done.stderr) == (2, "", f"invlap: error: {message}\n")


def test_debug_adds_the_traceback():
    done = run("invert", "1/(s+", "--debug")
    assert done.returncode == 2
    assert done.stderr.startswith("Traceback")
    assert "invlap._expression.language.ExpressionError" in done.stderr


def test_plot_without_matplotlib_says_how_to_get_it(tmp_path):
    hide = "import sys; sys.modules['matplotlib'] = None; from invlap.cli import main; " \
           "sys.exit(main(sys.argv[1:]))"
    done = subprocess.run([sys.executable, "-c", hide, "invert", "1/s", "--plot", "f.png"],
                          capture_output=True, text=True, timeout=120, cwd=tmp_path)
    assert (done.returncode, done.stderr) == (
        2, "invlap: error: --plot needs matplotlib: pip install 'invlap[plot]'\n")
    assert list(tmp_path.iterdir()) == []


def test_accuracy_warning_is_one_line():
    # The step's jump at t = 1: GWR alone (no shift theorem) cannot get 15 digits there.
    done = run("invert", "exp(-s)/s", "--t", "1", "--method", "gwr")
    assert done.returncode == 0
    assert done.stderr == ("invlap: warning: f(t): the estimated error exceeds the tolerance "
                           "of 15 digits at 1 of 1 points (full_output=True gives the "
                           "estimates)\n")


def interrupt(child, master):
    """Ctrl-C to the command on a terminal: it must end with status 130."""
    try:
        child.send_signal(signal.SIGINT)
        assert child.wait(timeout=60) == 130
    finally:
        child.kill()
        os.close(master)


def test_progress_bar_on_a_terminal():
    # A terminal of no size (0 x 0), as CI's and `script`'s are: the bar must show anyway.
    child, master, seen = command_on_a_terminal(LONG_RUN)
    interrupt(child, master)
    assert b"invlap:" in seen and b"/400 [" in seen


@pytest.mark.parametrize("args, reference", [
    (["i", "0", "1"], lambda: repr(float(mpmath.besseli(0, 1)))),
    (["k", "1", "2.5", "--digits", "40"],
     lambda: mpmath.nstr(mpmath.besselk(1, 2.5), 40, strip_zeros=False)),
    # Beyond the doubles: the double overflows to inf, the digits keep the exponent.
    (["i", "0", "714"], lambda: "inf"),
    (["k", "0", "800", "--digits", "20"],
     lambda: mpmath.nstr(mpmath.besselk(0, 800), 20, strip_zeros=False)),
], ids=["double", "40-digits", "overflow", "underflow-digits"])
def test_bessel_prints_the_value(args, reference):
    with mpmath.workdps(60):  # 20 digits beyond the 40 printed: rounding is settled
        assert run_ok("bessel", *args) == reference() + "\n"


def test_console_script_runs_the_demo():
    script = pathlib.Path(sys.executable).parent / "invlap"
    done = subprocess.run([script, "demo"], capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith("invlap: inverse Laplace transforms")


SOLVER = '''
import time

def F(s, a=1.0):
    time.sleep(PAUSE)
    return 1 / (s + a) ** 0.5
'''


def test_a_callable_reports_its_calls_of_F(tmp_path):
    path = tmp_path / "solver.py"
    path.write_text(SOLVER.replace("PAUSE", "0"))
    done = run("invert", "--callable", f"{path}:F", "--t", "0.1..10:5", "--param", "a=2",
               "--verbose")
    assert done.returncode == 0, done.stderr
    namespace = {}
    exec(SOLVER.replace("PAUSE", "0"), namespace)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", invlap.AccuracyWarning)
        result = invlap.invert(namespace["F"], np.geomspace(0.1, 10, 5), a=2.0,
                               full_output=True)
    counted = result.evaluations
    assert (f"invlap: f(t): {counted.calls} calls of F, {counted.values} values of s, "
            "for 5 points;") in done.stderr
    [rows] = table(done.stdout).values()
    assert [float(row[1]) for row in rows] == pytest.approx(result.value, rel=1e-11)


def test_a_callable_s_progress_bar_counts_values_of_F(tmp_path):
    path = tmp_path / "solver.py"
    path.write_text(SOLVER.replace("PAUSE", "0.01"))
    child, master, seen = command_on_a_terminal(
        ["invert", "--callable", f"{path}:F", "--t", "1e-2..1e2:5"], shows=b"F/s]")
    interrupt(child, master)
    # The total is invert's estimate of the values of s, not the 5 points.
    totals = [int(x) for x in re.findall(rb"/(\d+) \[", seen)]
    assert totals and all(200 <= total <= 2000 for total in totals)

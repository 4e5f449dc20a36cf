"""The command's output files, in a temporary directory: what is refused before any work,
how an existing file, a symlink and a hard link are written, and what a failing file or a
signal leaves behind."""

import os
import select
import signal
import subprocess
import sys

import pytest

from invlap import cli
from support import command_on_a_terminal

# Minutes of work at 40 digits: a refusal that waited for it would overrun REFUSAL_S.
LONG_RUN = ["invert", "besselk(0, 7*sqrt(s))/s", "--t", "1e-2..1e4:400", "--digits", "40"]
# Starting Python and importing matplotlib take a few seconds on a busy machine.
REFUSAL_S = 60


def run(cwd, *args, timeout=300):
    return subprocess.run([sys.executable, "-m", "invlap", *args], capture_output=True,
                          text=True, timeout=timeout, cwd=cwd)


def snapshot(directory):
    """Every entry's name, kind, mode, inode and bytes: what a refusal must not change."""
    out = {}
    for entry in sorted(os.scandir(directory), key=lambda e: e.name):
        info = entry.stat(follow_symlinks=False)
        data = os.readlink(entry.path) if entry.is_symlink() else (
            "dir" if entry.is_dir() else open(entry.path, "rb").read())
        out[entry.name] = (info.st_mode, info.st_ino, data)
    return out


def _read_only(d):
    (d / "ro.csv").write_text("keep\n")
    (d / "ro.csv").chmod(0o444)


def _hard_link(d):
    (d / "a.csv").write_text("keep\n")
    os.link(d / "a.csv", d / "b.png")


REFUSALS = {
    "empty": (None, ["--csv", ""], "--csv: the file name is empty"),
    "directory": (None, ["--csv", "."], "--csv .: is a directory; give a file name"),
    "device": (None, ["--csv", "/dev/null"], "--csv /dev/null: is not a regular file"),
    # Refused for root too, who could write it: the missing bits say "keep".
    "read-only": (_read_only, ["--csv", "ro.csv"],
                  "--csv ro.csv: the file is read-only; it is not replaced"),
    "same name": (None, ["--csv", "same.png", "--plot", "same.png"],
                  "--csv same.png and --plot same.png are the same file; give each its own"),
    "hard link": (_hard_link, ["--csv", "a.csv", "--plot", "b.png"],
                  "--csv a.csv and --plot b.png are the same file; give each its own"),
}


@pytest.mark.parametrize("name", REFUSALS)
def test_a_path_that_cannot_be_written_is_refused_before_any_work(tmp_path, name):
    prepare, args, message = REFUSALS[name]
    if prepare:
        prepare(tmp_path)
    before = snapshot(tmp_path)
    done = run(tmp_path, *LONG_RUN, *args, timeout=REFUSAL_S)
    assert (done.returncode, done.stdout, done.stderr) == (2, "", f"invlap: error: {message}\n")
    assert snapshot(tmp_path) == before


def test_existing_files_are_overwritten_through_their_links_keeping_their_mode(tmp_path):
    (tmp_path / "data").mkdir()
    target = tmp_path / "data" / "target.csv"
    target.write_text("old\n")
    target.chmod(0o640)
    (tmp_path / "link.csv").symlink_to(target)
    (tmp_path / "hard.csv").write_text("old\n")
    os.link(tmp_path / "hard.csv", tmp_path / "other-name.csv")
    for name in ["link.csv", "hard.csv"]:
        done = run(tmp_path, "invert", "1/(s+1)", "--t", "1", "--csv", name)
        assert done.returncode == 0, done.stderr
    assert (tmp_path / "link.csv").is_symlink()
    assert target.read_text().startswith("t,f(t),")
    assert target.stat().st_mode & 0o777 == 0o640
    assert (tmp_path / "other-name.csv").samefile(tmp_path / "hard.csv")
    assert (tmp_path / "other-name.csv").read_text().startswith("t,f(t),")
    assert sorted(p.name for p in tmp_path.iterdir()) == [
        "data", "hard.csv", "link.csv", "other-name.csv"]


def test_the_table_is_printed_when_a_file_cannot_be_written(tmp_path, monkeypatch, capsys):
    # The file turns read-only while the work runs: the results must still reach the user.
    path = tmp_path / "out.csv"
    path.write_text("keep\n")
    from invlap._cli import run as cli_run
    real = cli_run.run_inversions

    def run_then_lock(*args, **kwargs):
        series = real(*args, **kwargs)
        path.chmod(0o444)
        return series

    monkeypatch.setattr(cli_run, "run_inversions", run_then_lock)
    status = cli.main(["invert", "1/(s+1)", "--t", "1", "--csv", str(path)])
    out, err = capsys.readouterr()
    assert status == 2
    assert out.splitlines()[-1].split()[:2] == ["1", "0.367879441171442"]  # exp(-1)
    assert err == f"invlap: error: --csv {path}: the file is read-only; it is not replaced\n"
    assert path.read_text() == "keep\n"


def _rest(master):
    """What is left to read from a terminal whose other end has closed."""
    out = b""
    try:
        while select.select([master], [], [], 0.5)[0]:
            chunk = os.read(master, 4096)
            if not chunk:
                break
            out += chunk
    except OSError:  # EIO: the child's end is gone
        pass
    return out


@pytest.mark.parametrize("kind, status, said", [
    (signal.SIGINT, 130, b"invlap: interrupted"),
    (signal.SIGTERM, 143, b"invlap: terminated"),
], ids=["ctrl-c", "sigterm"])
def test_a_signal_during_the_work_leaves_the_old_files_and_nothing_else(tmp_path, kind, status,
                                                                         said):
    old = {"old.csv": "a,b\n", "old.png": "not yet a picture"}
    for name, text in old.items():
        (tmp_path / name).write_text(text)
    # stderr on a terminal, so that the bar shows the work has begun.
    child, master, seen = command_on_a_terminal(
        [*LONG_RUN, "--csv", "old.csv", "--plot", "old.png"], cwd=tmp_path)
    try:
        # Until the results are ready, no file of the run exists, not even a temporary one.
        assert sorted(p.name for p in tmp_path.iterdir()) == sorted(old)
        child.send_signal(kind)
        assert child.wait(timeout=60) == status
        seen += _rest(master)
    finally:
        child.kill()
        os.close(master)
    assert said in seen
    assert {p.name: p.read_text() for p in tmp_path.iterdir()} == old

"""The files `invlap invert` writes (--csv, --plot): checked before any work, made only
once their data is ready, and put in place whole.

What a path means:

* a symlink is followed: the file it points to is written (a dangling link creates
  its target), so a link kept in a project keeps pointing at fresh results;
* an existing regular file is overwritten, keeping its permission bits; one with
  other hard links, or owned by someone else, is rewritten in place, so that the
  links and the owner stay;
* refused before the work: an empty path, a directory or anything else that is not
  a regular file, a file no one may write (no write bit, as ``chmod 444`` leaves it:
  refused even for root, who could write it, since the bit says "keep"), a file the
  user may not write, and a directory the user cannot create files in.

The data goes to a hidden temporary file beside the target (``.NAME.*.part``), which
is renamed over the target (or copied into it) only when complete, and removed on
every way out that Python sees: a failure, Ctrl-C, and SIGTERM (which the command
turns into an exception). Only kill -9 during the write itself can leave it.
"""

import contextlib
import os
import shutil
import signal
import stat
import tempfile
import threading

from invlap._cli.arguments import CommandError

__all__ = ["OutputFile", "refuse_same_file", "signals_deferred"]


class OutputFile:
    """An output path, checked; write() makes the file."""

    def __init__(self, option, path):
        self.option, self.path = option, path
        if not path:
            raise CommandError(f"{option}: the file name is empty")
        # realpath follows every link of the chain, also a dangling last one,
        # which names the file the user means to create.
        self.target = os.path.realpath(path)
        self.existing = self._check()

    def _refuse(self, reason):
        return CommandError(f"{self.option} {self.path}: {reason}")

    def _check(self):
        """The target's stat (None when it does not exist yet), or CommandError."""
        try:
            existing = os.stat(self.target)
        except FileNotFoundError:
            existing = None
        except OSError as e:
            raise self._refuse(f"cannot write there ({e.strerror})") from None
        if existing is not None:
            if stat.S_ISDIR(existing.st_mode):
                raise self._refuse("is a directory; give a file name")
            if not stat.S_ISREG(existing.st_mode):
                raise self._refuse("is not a regular file")
            if not existing.st_mode & 0o222 or not os.access(self.target, os.W_OK):
                raise self._refuse("the file is read-only; it is not replaced")
        directory = os.path.dirname(self.target)
        try:
            if not stat.S_ISDIR(os.stat(directory).st_mode):
                raise self._refuse("cannot write there (Not a directory)")
        except OSError as e:
            raise self._refuse(f"cannot write there ({e.strerror})") from None
        if not os.access(directory, os.W_OK | os.X_OK):
            raise self._refuse("cannot write there (Permission denied)")
        return existing

    def same_as(self, other):
        if self.target == other.target:
            return True
        # Two names of one file: hard links, or a bind mount.
        return (self.existing is not None and other.existing is not None
                and os.path.samestat(self.existing, other.existing))

    def write(self, fill):
        """Calls fill(temporary path), then puts the complete file in place. Any
        failure is a CommandError naming the option; the temporary file never stays."""
        directory, name = os.path.split(self.target)
        temporary = None
        try:
            # Checked again: the file may have changed while the work ran.
            self.existing = self._check()
            fd, temporary = tempfile.mkstemp(dir=directory, prefix=f".{name}.",
                                             suffix=".part")
            os.close(fd)
            fill(temporary)
            self._put_in_place(temporary)
        except OSError as e:
            raise self._refuse(f"cannot write ({e.strerror or e})") from None
        finally:
            if temporary is not None:
                with contextlib.suppress(FileNotFoundError):
                    os.unlink(temporary)

    def _put_in_place(self, temporary):
        existing = self.existing
        if existing is not None and (existing.st_nlink > 1 or existing.st_uid != os.geteuid()):
            # A rename would make a new file: the other links would keep the old
            # data and the owner would change. Copied in, all of it or (on a
            # signal) after the copy: a half-written file is worse than a late exit.
            with signals_deferred(), open(temporary, "rb") as source, \
                    open(self.target, "r+b") as out:
                shutil.copyfileobj(source, out)
                out.truncate()
            return
        if existing is not None:
            mode = stat.S_IMODE(existing.st_mode)
        else:
            # mkstemp makes the file private; a new file gets the usual mode.
            mask = os.umask(0)
            os.umask(mask)
            mode = 0o666 & ~mask
        os.chmod(temporary, mode)
        os.replace(temporary, self.target)


def refuse_same_file(first, second):
    """CommandError when two output files are one: the second would overwrite the first."""
    if first is not None and second is not None and first.same_as(second):
        raise CommandError(f"{first.option} {first.path} and {second.option} {second.path} "
                           "are the same file; give each its own")


@contextlib.contextmanager
def signals_deferred():
    """Ctrl-C and SIGTERM held until the block ends, then delivered as usual."""
    if threading.current_thread() is not threading.main_thread():
        yield  # only the main thread may set handlers, and only it receives them
        return
    caught = []
    kinds = (signal.SIGINT, signal.SIGTERM)
    previous = [signal.signal(kind, lambda number, frame: caught.append(number))
                for kind in kinds]
    try:
        yield
    finally:
        for kind, handler in zip(kinds, previous):
            signal.signal(kind, handler)
        if caught:
            signal.raise_signal(caught[0])

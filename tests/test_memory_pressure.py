"""Calls that need more memory than the process can still obtain raise MemoryError
before the first value exists. GMP aborts the whole process when an allocation
fails, so every case runs in a fresh interpreter: an abort there fails the test
instead of ending the run. After the refusal the same process must go on working."""

import os
import re
import shutil
import subprocess
import sys

import mpmath
import pytest

from support import run_python

with mpmath.workdps(60):
    K0_OF_1 = repr(float(mpmath.besselk(0, 1)))  # the correctly rounded double

# Under a 1 GiB address-space or data limit, `leave(n)` takes all but n bytes of
# what is left with a private mapping that is never touched: address space and
# data, but no memory. statm's fields 0 and 5 are the two sizes, in pages.
UNDER_LIMIT = """
import mmap, os, resource
from invlap import _native

LIMIT = 1 << 30
resource.setrlimit(resource.{resource}, (LIMIT, LIMIT))

def leave(headroom):
    pages = int(open("/proc/self/statm").read().split()[{field}])
    return mmap.mmap(-1, LIMIT - pages * os.sysconf("SC_PAGE_SIZE") - headroom,
                     flags=mmap.MAP_PRIVATE)

def f(s):
    return 1 / (s + 1)

def attempt(call):
    try:
        return repr(call())
    except MemoryError as exc:
        return "MemoryError: " + str(exc)

{setup}
print(attempt(lambda: {refused}))
print(attempt(lambda: {fitting}))
"""

MIB = 1 << 20
REFUSAL = re.compile(r"MemoryError: not enough memory for (the GWR tables|besselk_rust at "
                     r"this precision): \d+ values of \d+ bits need about (\S+) GiB, "
                     r"(\S+) GiB available")


def assert_refused_within(line, headroom):
    refusal = REFUSAL.fullmatch(line)
    assert refusal, line
    needed, available = float(refusal[2]), float(refusal[3])
    # What was left, not the whole limit. It can be a little more than the
    # headroom left: the free blocks malloc holds count too.
    assert available < needed and available < 2 * headroom / (1 << 30), line


UNDER_LIMIT_CASES = {
    # 1000 MiB of the 1 GiB taken: each call is far below the limit, not below
    # what is left of it.
    "gwr-near-limit": (24 * MIB, "", "_native.gwr_rust(f, [1.0], 8, 10**6)",
                       "_native.besselk_rust(0, 1.0, 10**4)", K0_OF_1),
    "besselk-near-limit": (24 * MIB, "", "_native.besselk_rust(0, 1.0, 10**6)",
                           "_native.besselk_rust(0, 1.0, 10**4)", K0_OF_1),
    "gwr-near-data-limit": (24 * MIB, "", "_native.gwr_rust(f, [1.0], 8, 10**6)",
                            "_native.besselk_rust(0, 1.0, 10**4)", K0_OF_1),
    # Under 32 MiB, right after a call that read the bounds: a resource limit
    # must keep such requests from passing unread.
    "small-request-near-limit": (4 * MIB, "_native.besseli_rust(0, 1.0)",
                                 "_native.besselk_rust(0, 1.0, 3 * 10**5)",
                                 "_native.besselk_rust(0, 1.0, 10**4)", K0_OF_1),
    # Few tables, so the logarithm's own temporaries are most of the need.
    "gwr-logarithm": (24 * MIB, "", "_native.gwr_rust(f, [1.0], 2, 10**6)",
                      "_native.besselk_rust(0, 1.0, 10**4)", K0_OF_1),
    # Without times no logarithm is made: its temporaries, most of the need of
    # a small m with a time, must not be counted against a call that has none.
    "gwr-no-times": (24 * MIB, "", "_native.gwr_rust(f, [1.0], 1, 10**6)",
                     "_native.gwr_rust(f, [], 1, 10**6)", "[]"),
    # Either call fits alone; the inner one cannot fit beside the outer's tables.
    # The fitting call also needs the pages malloc kept from the refused one.
    "gwr-nested": (112 * MIB,
                   "def outer(s):\n    _native.gwr_rust(f, [], 200, 10000)\n    return f(s)",
                   "_native.gwr_rust(outer, [1.0], 200, 10000)",
                   "len(_native.gwr_rust(f, [1.0], 200, 10000))", "1"),
}


@pytest.mark.skipif(os.environ.get("INVLAP_SANITIZE") == "1",
                    reason="AddressSanitizer cannot start under an address-space limit")
@pytest.mark.parametrize("name", UNDER_LIMIT_CASES)
def test_refused_under_a_resource_limit(name):
    headroom, setup, refused, fitting, fitted = UNDER_LIMIT_CASES[name]
    setup = f"ballast = leave({headroom})\n" + setup
    limit = ("RLIMIT_DATA", 5) if "data" in name else ("RLIMIT_AS", 0)
    result = run_python(UNDER_LIMIT.format(resource=limit[0], field=limit[1], setup=setup,
                                           refused=refused, fitting=fitting))
    assert result.returncode == 0, result.stderr
    refusal, after = result.stdout.splitlines()
    assert_refused_within(refusal, headroom)
    assert after == fitted


# Stands in for a container's cgroup v2 files: a private mount namespace with a
# tmpfs over /sys/fs/cgroup, where the child writes its own cgroup's files.
IN_CGROUP = """
import os
from invlap import _native

path = next(line[3:] for line in open("/proc/self/cgroup").read().splitlines()
            if line.startswith("0::"))
folder = "/sys/fs/cgroup" + path.rstrip("/")
os.makedirs(folder, exist_ok=True)
for name, text in {files!r}.items():
    with open(os.path.join(folder, name), "w") as out:
        out.write(text)
_native.besseli_rust(0, 1.0)  # reads the bounds: the next request, under 32 MiB, must too
try:
    print(repr(_native.besselk_rust(0, 1.0, 10**5)))
except MemoryError as exc:
    print("MemoryError: " + str(exc))
"""


def private_cgroup_mount():
    unshare = shutil.which("unshare")
    if os.geteuid() != 0 or unshare is None:
        return None
    command = [unshare, "--mount", "sh", "-c",
               'mount -t tmpfs tmpfs /sys/fs/cgroup && exec "$0" -c "$1"', sys.executable]
    probe = subprocess.run(command + ["pass"], capture_output=True)
    return command if probe.returncode == 0 else None


@pytest.mark.parametrize("inactive_file, refused", [(0, True), (1 << 30, False)],
                         ids=["limit-reached", "page-cache-is-reclaimable"])
def test_refused_near_a_cgroup_memory_limit(inactive_file, refused):
    command = private_cgroup_mount()
    if command is None:
        pytest.skip("needs root and unshare(1) for a private mount namespace")
    limit = 8 << 30
    stat = f"anon {limit // 2}\nfile {limit // 2}\ninactive_file {inactive_file}\n"
    files = {"memory.max": f"{limit}\n", "memory.current": f"{limit - 4 * MIB}\n",
             "memory.stat": stat}
    result = subprocess.run(command + [IN_CGROUP.format(files=files)], capture_output=True,
                            text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    if refused:
        assert_refused_within(result.stdout.strip(), 4 * MIB)
    else:
        assert result.stdout.strip() == K0_OF_1


# A callable at precision="multi": its samples are mpmath values, which GMP
# allocates, so a level that cannot fit must be refused before F makes the first
# (under `ulimit -v 400000` this call once died with SIGABRT after 21 s).
MULTI_UNDER_LIMIT = """
import resource
import invlap

resource.setrlimit(resource.RLIMIT_AS, (400000 * 1024, 400000 * 1024))
calls = 0

def F(s):
    global calls
    calls += 1
    return 1 / (s + 1)

try:
    invlap.invert(F, 1.0, precision="multi", method="gwr", M=20000)
except MemoryError as exc:
    print("MemoryError: " + str(exc))
print(calls)
print(repr(invlap.invert(F, 1.0, precision="multi", method="gwr", M=8)))
"""


@pytest.mark.skipif(os.environ.get("INVLAP_SANITIZE") == "1",
                    reason="AddressSanitizer cannot start under an address-space limit")
def test_multi_precision_callable_refused_before_sampling():
    result = run_python(MULTI_UNDER_LIMIT)
    assert result.returncode == 0, result.stderr
    refusal, calls, after = result.stdout.splitlines()
    assert refusal.startswith("MemoryError: not enough memory for the inversion of these "
                              "samples: "), refusal
    assert calls == "0"
    # 8 terms in multi precision: about 0.93 * 8 = 7 digits of exp(-1).
    assert abs(float(after) - 0.36787944117144233) < 1e-6

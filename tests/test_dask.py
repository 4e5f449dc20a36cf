"""invert on Dask arrays: lazy, one local call per block, checked where the graph is built,
and computed on a LocalCluster of two worker processes with the local bits, a worker
killed on the way."""

import math
import os
import signal
import time

import numpy as np
import pytest

import invlap
from support import run_python

da = pytest.importorskip("dask.array")
distributed = pytest.importorskip("distributed")
import dask  # noqa: E402  (present once dask.array is)

T = np.linspace(0.25, 4.0, 12)
TIMES = np.geomspace(0.1, 10.0, 40)[:, None]
WELL = "exp(-r*sqrt(s))/s"  # cheap: no Bessel function


def identical(computed, local):
    return computed.dtype == local.dtype and np.array_equal(computed, local)


MIXED = {  # inputs of "b/(s+a)", options, and the chunks of the result
    "dask-t numpy-a scalar-b": (lambda: dict(t=da.from_array(T, chunks=5), a=T[:3, None],
                                             b=3.0), {}, ((3,), (5, 5, 2))),
    "numpy-t dask-a dask-b full-output": (
        lambda: dict(t=T, a=da.from_array(T[:3, None], chunks=2),
                     b=da.from_array(T + 1, chunks=4)),
        {"full_output": True, "output": "mpmath"}, ((2, 1), (4, 4, 4))),
    "0-d-dask-t scalars": (lambda: dict(t=da.asarray(1.5), a=2.0, b=3.0), {}, ()),
}


@pytest.mark.parametrize("case", MIXED)
def test_mixed_inputs_keep_their_chunks_and_give_the_local_values(case):
    make, options, chunks = MIXED[case]
    lazy = invlap.invert("b/(s+a)", **make(), **options)
    local = invlap.invert("b/(s+a)", **da.compute(make())[0], **options)
    pairs = [(lazy.value, local.value), (lazy.error, local.error)] if options else [(lazy, local)]
    for lazy_part, local_part in pairs:
        assert lazy_part.chunks == chunks and identical(lazy_part.compute(), np.asarray(local_part))


@pytest.mark.filterwarnings("ignore::invlap.AccuracyWarning")  # doubles: some 7 digits
def test_nothing_runs_before_compute_and_each_block_is_one_call():
    calls = []

    def F(s):  # vectorized: one call per invert call
        calls.append(s.shape)
        return 1.0 / (s + 1.0)

    lazy = invlap.invert(F, da.from_array(T, chunks=5), vectorized=True, method="gwr")
    assert calls == []
    np.testing.assert_allclose(lazy.compute(), np.exp(-T), atol=1e-6)
    assert sorted(calls) == [(2, 24), (5, 24), (5, 24)]


def test_a_bad_time_fails_at_compute_naming_its_block():
    lazy = invlap.invert("1/(s+1)", da.from_array(np.array([1.0, 2.0, 3.0, -1.0, 5.0]), chunks=2))
    with pytest.raises(ValueError) as caught:
        lazy.compute()
    assert str(caught.value) == "t[1] = -1.0: times must be finite and >= 0"
    assert caught.value.__notes__ == ["in the block [2:4] of the result"]


@pytest.mark.parametrize("F, inputs", [
    ("1/(s+", {}), ("1/(s+c)", {"a": 1.0}), ("1/(s+1)", {"a": 1.0}),
    ("1/(s+a)", {"a": [1.0, 2.0]}), ("1/(s+1)", {"digits": 0}),
], ids=["syntax", "unknown-name", "unused-parameter", "shapes", "digits"])
def test_mistakes_raise_when_the_graph_is_built_in_the_local_words(F, inputs):
    with pytest.raises(ValueError) as local:
        invlap.invert(F, T, **inputs)
    with pytest.raises(type(local.value)) as caught:
        invlap.invert(F, da.from_array(T, chunks=5), **inputs)
    assert str(caught.value) == str(local.value)


def test_import_and_local_invert_leave_dask_alone():
    result = run_python("import sys, invlap\ninvlap.invert('1/(s+1)', [1.0, 2.0])\n"
                        "assert not {'dask', 'distributed'} & set(sys.modules)")
    assert result.returncode == 0, result.stderr


@pytest.fixture(scope="module")
def client():
    # No profiler thread on the event loop: it ends only a moment after the loop closes,
    # inside whichever test comes next, and tests that count threads would see it go.
    # A free port for the scheduler's HTTP server: another cluster may hold 8787.
    with (dask.config.set({"distributed.worker.profile.enabled": False}),
          distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                   dashboard_address=":0") as cluster,
          distributed.Client(cluster) as client):
        yield client


@pytest.mark.filterwarnings("ignore::invlap.AccuracyWarning")
def test_cluster_sweeps_give_the_local_bits_though_a_worker_is_killed(client):
    def F(s, r):  # defined here, so cloudpickle sends it by value
        return math.exp(-r * math.sqrt(s)) / s

    r = np.linspace(0.25, 2.0, 120)  # 16 blocks of some 70 ms for WELL: they outlast the kill
    lazy = [invlap.invert(G, da.from_array(TIMES, chunks=10), r=da.from_array(r, chunks=30))
            for G in (WELL, F)]
    pids, futures = client.run(os.getpid), client.compute(lazy)
    for _ in range(6000):  # a minute at most
        busy = [w for w, keys in client.processing().items() if keys]
        if busy:
            break
        time.sleep(0.01)
    victim = busy[0]
    assert not futures[0].done()
    os.kill(pids[victim], signal.SIGKILL)
    assert identical(futures[0].result(timeout=120), invlap.invert(WELL, TIMES, r=r))
    # A double callable's rounding estimate nudges by the point's place in its call:
    # the reference is the same blocks, one call each.
    assert identical(futures[1].result(timeout=120), np.block([
        [invlap.invert(F, TIMES[i:i + 10], r=r[j:j + 30]) for j in range(0, 120, 30)]
        for i in range(0, 40, 10)]))
    client.wait_for_workers(2, timeout=60)  # the nanny starts a new one
    assert pids[victim] not in client.run(os.getpid).values()


def test_invert_in_a_worker_task_takes_one_thread(client):
    from invlap._workers import resolve_workers
    assert client.submit(resolve_workers, None).result() == 1
    assert resolve_workers(None) == os.process_cpu_count()

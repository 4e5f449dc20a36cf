"""invert on Dask arrays: lazy, one local call per block, checked where the graph is built,
and computed in threads or on a LocalCluster of two worker processes with the local bits."""

import math
import os
import signal
import sys
import time

import numpy as np
import pytest

import invlap
from support import run_python

da = pytest.importorskip("dask.array")
distributed = pytest.importorskip("distributed")
import dask  # noqa: E402

T = np.linspace(0.25, 4.0, 12)
A = np.array([[0.5], [1.0], [2.0]])
WELL = "exp(-r*sqrt(s))/s"  # cheap: no Bessel function


def identical(computed, local):
    return computed.dtype == local.dtype and np.array_equal(computed, local)


MIXED = {  # inputs of "b/(s+a)" and the chunks the result must have
    "dask-t numpy-a scalar-b": (lambda: dict(t=da.from_array(T, chunks=5), a=A, b=3.0),
                                ((3,), (5, 5, 2))),
    "numpy-t dask-a dask-b": (lambda: dict(t=T, a=da.from_array(A, chunks=2),
                                           b=da.from_array(T + 1, chunks=4)), ((2, 1), (4, 4, 4))),
    "0-d-dask-t scalars": (lambda: dict(t=da.asarray(1.5), a=2.0, b=3.0), ()),
}


@pytest.mark.parametrize("full_output", [False, True], ids=["values", "full-output-mpmath"])
@pytest.mark.parametrize("case", MIXED)
def test_mixed_inputs_keep_their_chunks_and_give_the_local_values(case, full_output):
    make, chunks = MIXED[case]
    options = {"full_output": True, "output": "mpmath"} if full_output else {}
    lazy = invlap.invert("b/(s+a)", **make(), **options)
    local = invlap.invert("b/(s+a)", **dask.compute(make())[0], **options)
    if not full_output:
        assert lazy.chunks == chunks and identical(lazy.compute(), np.asarray(local))
        return
    assert lazy.value.chunks == lazy.error.chunks == chunks and lazy.method == local.method
    value, error = dask.compute(lazy.value, lazy.error)
    assert identical(value, np.asarray(local.value)) and identical(error, np.asarray(local.error))


# Doubles from a callable carry about 7 digits, short of the default 15: it says so.
@pytest.mark.filterwarnings("ignore::invlap.AccuracyWarning")
def test_nothing_runs_before_compute_and_each_block_is_one_call():
    calls = []

    def F(s):  # vectorized: one call per invert call
        calls.append(s.shape)
        return 1.0 / (s + 1.0)

    lazy = invlap.invert(F, da.from_array(T, chunks=5), vectorized=True)
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
    ("1/(s+", {}),
    ("1/(s+c)", {"a": 1.0}),
    ("1/(s+1)", {"a": 1.0}),
    ("1/(s+a)", {"a": [1.0, 2.0]}),
    ("1/(s+1)", {"digits": 0}),
], ids=["syntax", "unknown-name", "unused-parameter", "shapes", "digits"])
def test_mistakes_raise_when_the_graph_is_built_in_the_local_words(F, inputs):
    with pytest.raises(ValueError) as local:
        invlap.invert(F, T, **inputs)
    with pytest.raises(type(local.value)) as caught:
        invlap.invert(F, da.from_array(T, chunks=5), **inputs)
    assert str(caught.value) == str(local.value)


def test_progress_is_refused_for_dask_arrays():
    with pytest.raises(ValueError) as caught:
        invlap.invert("1/(s+1)", da.from_array(T), progress=print)
    assert str(caught.value) == "progress does not apply to Dask arrays; use Dask's progress bars"


def test_import_and_local_invert_leave_dask_alone():
    result = run_python("import sys, invlap\ninvlap.invert('1/(s+1)', [1.0, 2.0])\n"
                        "assert not {'dask', 'distributed'} & set(sys.modules)")
    assert result.returncode == 0, result.stderr


@pytest.fixture(scope="module")
def client():
    with (distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                   dashboard_address=None) as cluster,
          distributed.Client(cluster) as client):
        yield client


TIMES = np.geomspace(0.1, 10.0, 40)[:, None]


def sweep(F, radii, **options):
    """F over 40 times and some radii as a Dask array of 16 blocks, and the radii."""
    r = np.linspace(0.25, 2.0, radii)
    return invlap.invert(F, da.from_array(TIMES, chunks=10), r=da.from_array(r, chunks=radii // 4),
                         **options), r


def test_cluster_sweep_of_an_expression_gives_the_local_bits(client):
    lazy, r = sweep(WELL, radii=40)
    assert identical(client.compute(lazy).result(), invlap.invert(WELL, TIMES, r=r))
    # Each worker process made the engine's program from the compiled expression.
    built = client.run(lambda: sys.modules["invlap.invert"].native_program.cache_info().currsize)
    assert len(built) == 2 and all(n >= 1 for n in built.values())


@pytest.mark.filterwarnings("ignore::invlap.AccuracyWarning")
def test_cluster_sweep_of_a_local_function_gives_the_local_bits(client):
    def F(s, r):  # defined here, so cloudpickle sends it by value
        return math.exp(-r * math.sqrt(s)) / s

    lazy, r = sweep(F, radii=40)
    # The rounding estimate of a double callable draws its nudges by the point's
    # place in the call, so the reference is made of the same blocks, one call each.
    local = np.block([[invlap.invert(F, TIMES[i:i + 10], r=r[j:j + 10]) for j in range(0, 40, 10)]
                      for i in range(0, 40, 10)])
    assert identical(client.compute(lazy).result(), local)


def test_invert_in_a_worker_task_takes_one_thread(client):
    from invlap._workers import resolve_workers
    assert client.submit(resolve_workers, None).result() == 1
    assert resolve_workers(None) == os.process_cpu_count()


def test_a_worker_killed_mid_computation_leaves_the_result_complete(client):
    # Sixteen blocks of some 70 ms each: the computation outlasts the kill.
    lazy, r = sweep(WELL, radii=120)
    local = invlap.invert(WELL, TIMES, r=r)
    pids = client.run(os.getpid)
    future = client.compute(lazy)
    while not any(client.processing().values()):
        time.sleep(0.01)
    victim = next(w for w, keys in client.processing().items() if keys)
    assert not future.done()
    os.kill(pids[victim], signal.SIGKILL)
    assert identical(future.result(timeout=120), local)
    client.wait_for_workers(2, timeout=60)  # the nanny starts a new one
    assert pids[victim] not in client.run(os.getpid).values()

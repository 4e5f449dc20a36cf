"""How many threads a call may use."""

import os
import sys

# Threads are real ones, each with its own stack and caches: beyond this many a
# count is a typo (or a wrapped integer), not a plan, and the engine would
# otherwise try to start them all.
MAX_WORKERS = 1024


def resolve_workers(workers):
    """The thread count for `workers` (None: one per core this process may use, or one
    inside a task of a Dask worker)."""
    if workers is None:
        # A Dask worker already runs one task per thread it was given; a task that took
        # every core as well would run cores x threads threads on the cores.
        if _in_distributed_task():
            return 1
        return os.process_cpu_count() or 1
    if (isinstance(workers, bool) or not isinstance(workers, int)
            or not 1 <= workers <= MAX_WORKERS):
        raise ValueError(f"workers must be None or an integer from 1 to {MAX_WORKERS}, "
                         f"not {workers!r}")
    return workers


def _in_distributed_task():
    """Whether this thread runs a task of a `distributed` worker."""
    # Only a process that imported distributed can be one of its workers, so the
    # optional dependency is never imported here.
    distributed = sys.modules.get("distributed")
    if distributed is None:
        return False
    try:
        distributed.get_worker()
    except ValueError:
        return False
    return True

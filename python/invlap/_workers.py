"""How many threads a call may use."""

import os
import sys

from invlap import _engine
from invlap._integers import checked_integer

# Threads are real ones, each with its own stack and caches: beyond the engine's
# cap a count is a typo (or a wrapped integer), not a plan.
MAX_WORKERS = _engine.MAX_WORKERS


def resolve_workers(workers):
    """The thread count for `workers` (None: one per core this process may use, or one
    inside a task of a Dask worker)."""
    if workers is None:
        # A Dask worker already runs one task per thread it was given; a task that took
        # every core as well would run cores x threads threads on the cores.
        if _in_distributed_task():
            return 1
        return os.process_cpu_count() or 1
    return checked_integer(workers, "workers", 1, _engine.MAX_WORKERS, allow_none=True)


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

"""How many threads a call may use."""

import os


def resolve_workers(workers):
    """The thread count for `workers` (None: one per core this process may use)."""
    if workers is None:
        return os.process_cpu_count() or 1
    if isinstance(workers, bool) or not isinstance(workers, int) or workers < 1:
        raise ValueError(f"workers must be None or an integer >= 1, not {workers!r}")
    return workers

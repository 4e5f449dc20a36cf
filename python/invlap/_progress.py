"""Progress reports made from Python, paced as the engine paces its own."""

import time

from invlap import _engine

__all__ = ["paced"]


def paced(progress):
    """report(done): calls progress(done) at most once per the engine's interval,
    counted from when the previous call returned, so that a slow callable costs its
    own time and never more than its share (None: reports nothing)."""
    if progress is None:
        return lambda done: None
    interval = _engine.progress_interval_s
    next_at = time.monotonic() + interval

    def report(done):
        nonlocal next_at
        if time.monotonic() >= next_at:
            progress(done)
            next_at = time.monotonic() + interval
    return report

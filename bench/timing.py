"""The one timing helper the benchmark scripts share."""
import time


def best_of(repeats, action):
    """The fastest of `repeats` timings of `action()`, in seconds, and its result."""
    best, result = float("inf"), None
    for _ in range(repeats):
        start = time.perf_counter()
        result = action()
        best = min(best, time.perf_counter() - start)
    return best, result

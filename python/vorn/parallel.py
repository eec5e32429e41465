"""Running independent tasks on a concurrent.futures executor or a Dask client.

`run_tasks` submits one task per argument tuple, shows a bar over completed
tasks, returns the results in submission order, re-raises a failed task's own
exception (after cancelling the others) and cancels everything outstanding on
Ctrl-C. Without an executor it starts a process pool sized to the CPUs whose
workers run the engine single-threaded (VORN_NUM_THREADS=1), so processes and
the engine's own threads do not compete for the same cores; on a Dask cluster
each task's engine gets its share of its host's cores.
"""

from __future__ import annotations

import collections
import concurrent.futures
import contextlib
import functools
import os
import signal
from collections.abc import Callable, Iterable, Iterator, Sequence
from typing import Any, TypeVar

import vorn_core

from vorn._progress import _in_notebook, bar_wanted, progress as progress_bar
from vorn.network import Network

__all__ = ["run_tasks", "worker_initializer", "is_dask_client", "worker_engine", "default_workers",
           "executor_workers", "one_engine_thread"]

R = TypeVar("R")


def worker_initializer() -> None:
    """Initializer for process-pool workers: one engine thread per process,
    and Ctrl-C left to the parent, which cancels the outstanding tasks.

    Pass it as `initializer=` when you create your own ProcessPoolExecutor.
    """
    os.environ["VORN_NUM_THREADS"] = "1"
    signal.signal(signal.SIGINT, signal.SIG_IGN)


def default_workers() -> int:
    return os.cpu_count() or 1


def executor_workers(executor: Any) -> int:
    """How many tasks `executor` runs at once: the threads of a Dask
    cluster, the `max_workers` of a standard executor, else the CPUs."""
    if executor is None:
        return default_workers()
    if is_dask_client(executor):
        return max(1, int(sum(executor.nthreads().values())))
    workers = getattr(executor, "_max_workers", None)
    return workers if isinstance(workers, int) and workers > 0 else default_workers()


@contextlib.contextmanager
def one_engine_thread() -> Iterator[None]:
    """Run the engine single-threaded inside the block, as pool workers do,
    and restore VORN_NUM_THREADS afterwards."""
    saved = os.environ.get("VORN_NUM_THREADS")
    os.environ["VORN_NUM_THREADS"] = "1"
    try:
        yield
    finally:
        if saved is None:
            del os.environ["VORN_NUM_THREADS"]
        else:
            os.environ["VORN_NUM_THREADS"] = saved


@functools.lru_cache(maxsize=8)
def worker_engine(network: Network) -> vorn_core.VornEngine:
    """The engine for `network` in this process, built once and reused by
    every later task for an equal network."""
    return network.engine()


def is_dask_client(executor: object) -> bool:
    """True for a dask.distributed.Client (checked without importing dask)."""
    cls = type(executor)
    return any(base.__module__.startswith("distributed") and base.__name__ == "Client" for base in cls.__mro__)


def run_tasks(function: Callable[..., R], shared: Sequence[Any], arguments: Sequence[tuple[Any, ...]],
              executor: Any = None, progress: bool | None = None, description: str | None = None) -> list[R]:
    """`[function(*shared, *args) for args in arguments]`, run in parallel.

    `shared` values (typically the Network) are sent to a Dask cluster once
    and referenced by every task; executors receive them with each task.
    """
    if not arguments:
        return []
    if executor is None:
        workers = min(default_workers(), len(arguments))
        if workers <= 1:
            return [function(*shared, *args) for args in progress_bar(arguments, len(arguments), progress,
                                                                      description)]
        pool = concurrent.futures.ProcessPoolExecutor(max_workers=workers, initializer=worker_initializer)
        try:
            results = _run_on_executor(pool, function, shared, arguments, progress, description)
        except BaseException:
            pool.shutdown(wait=False, cancel_futures=True)
            raise
        pool.shutdown()
        return results
    if is_dask_client(executor):
        return _run_on_dask(executor, function, shared, arguments, progress, description)
    if isinstance(executor, concurrent.futures.Executor):
        return _run_on_executor(executor, function, shared, arguments, progress, description)
    raise TypeError("executor must be a concurrent.futures.Executor or a dask.distributed.Client, "
                    f"not {type(executor).__name__}")


def _run_on_executor(executor: concurrent.futures.Executor, function: Callable[..., R], shared: Sequence[Any],
                     arguments: Sequence[tuple[Any, ...]], progress: bool | None,
                     description: str | None) -> list[R]:
    futures = {executor.submit(function, *shared, *args): index for index, args in enumerate(arguments)}
    results: list[Any] = [None] * len(arguments)
    try:
        for future in progress_bar(concurrent.futures.as_completed(futures), len(futures), progress, description):
            results[futures[future]] = future.result()
    except BaseException:
        for future in futures:
            future.cancel()
        raise
    return results


def _run_on_dask(client: Any, function: Callable[..., R], shared: Sequence[Any],
                 arguments: Sequence[tuple[Any, ...]], progress: bool | None, description: str | None) -> list[R]:
    import distributed as distributed_module

    distributed: Any = distributed_module
    futures: list[Any] = []
    results: list[Any] = [None] * len(arguments)
    try:
        # The shared values travel inside every task rather than as scattered
        # data: a task then depends on nothing a lost worker held, so the
        # scheduler can rerun it anywhere.
        columns = [[value] * len(arguments) for value in shared] + [list(c) for c in zip(*arguments)]
        task = functools.partial(_on_dask_worker, _task_threads_by_worker(client), os.getpid(), function)
        futures = client.map(task, *columns, pure=False)
        index = {future.key: position for position, future in enumerate(futures)}
        # with_results fetches results in batches rather than one round trip each
        completed: Iterable[Any] = distributed.as_completed(futures, with_results=True)
        if not (_in_notebook() and bar_wanted(progress) and _dask_widget(distributed, futures)):
            completed = progress_bar(completed, len(futures), progress, description)
        for future, result in completed:
            results[index[future.key]] = result
    except BaseException:
        client.cancel(futures)
        raise
    return results


def _task_threads_by_worker(client: Any) -> dict[str, int]:
    """For each worker address, the tasks its host runs at once: the threads
    of every worker on the same host."""
    workers: dict[str, Any] = client.scheduler_info().get("workers", {})
    per_host: collections.Counter[str] = collections.Counter()
    for info in workers.values():
        per_host[str(info.get("host"))] += int(info.get("nthreads", 1))
    return {address: per_host[str(info.get("host"))] for address, info in workers.items()}


_share_set_here = False


def _on_dask_worker(task_threads: dict[str, int], caller: int, function: Callable[..., R], *args: Any) -> R:
    """Run one task on a Dask worker whose engine uses this task's share of
    the host's cores: the cores the process may use divided by the tasks the
    host's workers run at once. A VORN_NUM_THREADS the worker was started
    with is kept, and so is the caller's own process (a cluster of threads)."""
    global _share_set_here
    if os.getpid() != caller and (_share_set_here or "VORN_NUM_THREADS" not in os.environ):
        import distributed

        address = distributed.get_worker().address
        cores = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count() or 1
        os.environ["VORN_NUM_THREADS"] = str(max(1, cores // task_threads.get(address, cores)))
        _share_set_here = True
    return function(*args)


def _dask_widget(distributed: Any, futures: list[Any]) -> bool:
    """Show Dask's own progress widget in a notebook; False if it cannot
    (it needs ipywidgets), so that the tqdm bar is used instead."""
    try:
        distributed.progress(futures, notebook=True)
    except ImportError:
        return False
    return True

"""Running independent tasks on a concurrent.futures executor or a Dask client.

`run_tasks` submits one task per argument tuple, shows a bar over completed
tasks, returns the results in submission order, re-raises a failed task's own
exception (after cancelling the others) and cancels everything outstanding on
Ctrl-C. On Ctrl-C (or any failure) the running calls of process-pool workers
are stopped too: each task runs under a SIGINT handler that raises
KeyboardInterrupt only while the task runs, so the engine's own stop check
ends the call within milliseconds, and the parent sends SIGINT to the
workers of the pools it started or that use `worker_initializer`. Without
an executor it starts a process pool sized to the CPUs whose
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
import threading
import time
from collections.abc import Callable, Iterable, Iterator, Sequence
from typing import Any, TypeVar

import vorn_core
from vorn._progress import _in_notebook, bar_wanted
from vorn._progress import progress as progress_bar
from vorn.network import Network

__all__ = ["run_tasks", "worker_initializer", "is_dask_client", "worker_engine", "default_workers",
           "executor_workers", "one_engine_thread", "InlineExecutor"]

R = TypeVar("R")


def worker_initializer() -> None:
    """Initializer for process-pool workers: one engine thread per process,
    and Ctrl-C stops the task that runs (idle workers ignore it), so the
    parent can end its workers' calls at once.

    Pass it as `initializer=` when you create your own ProcessPoolExecutor.
    """
    os.environ["VORN_NUM_THREADS"] = "1"
    _install_task_interrupt()


# True while this process runs a task of `run_tasks`: only then does SIGINT
# raise KeyboardInterrupt (which the engine's stop check turns into the end of
# its call); between tasks a worker ignores it and stays usable.
_task_running = False


def _on_sigint(signum: int, frame: object) -> None:
    if _task_running:
        raise KeyboardInterrupt


def _install_task_interrupt() -> None:
    if threading.current_thread() is threading.main_thread():
        signal.signal(signal.SIGINT, _on_sigint)


def _interruptible(function: Callable[..., R], *args: Any) -> R:
    """Run one task in a process-pool worker under the SIGINT handler above
    (installed here as well as by `worker_initializer`, so that tasks in
    pools made without it can be interrupted too)."""
    global _task_running
    if signal.getsignal(signal.SIGINT) is not _on_sigint:
        _install_task_interrupt()
    _task_running = True
    try:
        return function(*args)
    finally:
        _task_running = False


# How long the parent keeps interrupting its workers after Ctrl-C: the calls
# they run end within milliseconds, so this only bounds a worker that cannot
# be reached.
_INTERRUPT_SECONDS = 1.0
_INTERRUPT_EVERY = 0.02


def _interrupt_workers(executor: concurrent.futures.Executor,
                       futures: Iterable[concurrent.futures.Future[Any]]) -> None:
    """Stop the tasks that `executor`'s worker processes run or have already
    taken from the pool's queue (those can no longer be cancelled): send the
    workers SIGINT until every future is done, for at most a second. Only
    pools whose initializer is `worker_initializer` are signalled, because
    only their idle workers ignore SIGINT; workers of other pools are left to
    the terminal's Ctrl-C, which reaches them as members of the process group."""
    if not isinstance(executor, concurrent.futures.ProcessPoolExecutor):
        return
    if getattr(executor, "_initializer", None) is not worker_initializer:
        return
    pending = [future for future in futures if not future.done()]
    deadline = time.monotonic() + _INTERRUPT_SECONDS
    while pending and time.monotonic() < deadline:
        for pid in list(getattr(executor, "_processes", None) or {}):
            with contextlib.suppress(OSError):
                os.kill(pid, signal.SIGINT)
        pending = list(concurrent.futures.wait(pending, timeout=_INTERRUPT_EVERY).not_done)


def abandon_pool(pool: concurrent.futures.ProcessPoolExecutor) -> None:
    """Shut down a pool this package started, after Ctrl-C: cancel what
    waits, end the worker processes and wait for the pool's own thread.
    Without that wait the interpreter's exit would wake that thread through
    a pipe the thread may be closing at the same moment, which prints an
    OSError traceback on the way out."""
    for process in list((getattr(pool, "_processes", None) or {}).values()):
        with contextlib.suppress(Exception):
            process.terminate()
    pool.shutdown(wait=True, cancel_futures=True)


class InlineExecutor(concurrent.futures.Executor):
    """Runs every task in this process, on the calling thread, one after the
    other: `run_tasks` with it is a plain loop, which Ctrl-C ends at once
    (the engine stops its call when the main thread has a pending signal)."""

    _max_workers = 1

    def submit(self, fn: Callable[..., R], /, *args: Any, **kwargs: Any) -> concurrent.futures.Future[R]:
        future: concurrent.futures.Future[R] = concurrent.futures.Future()
        try:
            future.set_result(fn(*args, **kwargs))
        except Exception as error:
            future.set_exception(error)
        return future


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

    def serial() -> list[R]:
        return [function(*shared, *args) for args in progress_bar(arguments, len(arguments), progress, description)]

    if isinstance(executor, InlineExecutor):
        return serial()
    if executor is None:
        workers = min(default_workers(), len(arguments))
        if workers <= 1:
            return serial()
        pool = concurrent.futures.ProcessPoolExecutor(max_workers=workers, initializer=worker_initializer)
        try:
            results = _run_on_executor(pool, function, shared, arguments, progress, description)
        except BaseException:
            # _run_on_executor has cancelled the waiting tasks and interrupted
            # the running ones.
            abandon_pool(pool)
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
    futures: dict[concurrent.futures.Future[Any], int] = {}
    try:
        in_processes = isinstance(executor, concurrent.futures.ProcessPoolExecutor)
        for index, args in enumerate(arguments):
            future = (executor.submit(_interruptible, function, *shared, *args) if in_processes
                      else executor.submit(function, *shared, *args))
            futures[future] = index
        results: list[Any] = [None] * len(arguments)
        for future in progress_bar(concurrent.futures.as_completed(futures), len(futures), progress, description):
            results[futures[future]] = future.result()
    except BaseException:
        for future in futures:
            future.cancel()
        _interrupt_workers(executor, futures)
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

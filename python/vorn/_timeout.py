"""Time limits for engine calls (the `timeout=` of vorn's entry points).

The engine's long calls poll a stop check every few milliseconds; on the
main thread that check runs the interpreter's signal handlers, so a SIGALRM
handler that raises ends the call there. `call_limited` therefore runs a
call on the main thread under an interval timer (ITIMER_REAL) whose handler
raises TimeoutError, and restores the SIGALRM handler and timer it found
afterwards. A timer that was already running keeps its schedule: when it is
due first, its own handler runs at its time (and may end the call with its
own exception), then the limit goes on.

Off the main thread no handler runs during an engine call (the call holds
the interpreter lock and only the main thread runs handlers), so there the
call runs in a child process of its own, started with this interpreter, whose
main thread applies the limit; it costs the child's start (a few tenths of a
second) per call. Thread-pool and Dask tasks take this path; process-pool
workers run their tasks on their main thread and take the timer path.
"""

from __future__ import annotations

import os
import pickle
import signal
import subprocess
import sys
import threading
import time
from collections.abc import Callable, Iterator
from contextlib import contextmanager
from dataclasses import dataclass
from types import FrameType
from typing import Any, TypeVar

from vorn._checks import running_text, timeout_message

__all__ = ["Limit", "call_limited", "time_limit", "request_limit"]

R = TypeVar("R")

# How far from a due time a SIGALRM still counts as that time's: the timer
# and the monotonic clock may disagree by a little.
_SLACK_S = 0.002
# The shortest delay the timer is armed with (0 would disarm it).
_SHORTEST_S = 1e-6
# How long past its limit a child process may take (its start included)
# before it is killed: the child ends itself at the limit, this only bounds a
# child that cannot.
_CHILD_GRACE_S = 30.0
_CHILD_CODE = "from vorn._timeout import _child_main; _child_main()"


@dataclass(frozen=True)
class Limit:
    """A time limit for one call and what its TimeoutError says.

    `seconds` is the limit as given; with `deadline` (a `time.time()` value,
    for work split into tasks that share one limit) the call gets only the
    time left until then. `what` describes the call and the network; the
    strategy decides the rest of the message (see `_checks.timeout_message`)."""

    seconds: float
    what: str
    strategy: str | None = None
    deadline: float | None = None

    def message(self) -> str:
        return timeout_message(self.what, self.seconds, self.strategy)

    def remaining(self) -> float:
        if self.deadline is None:
            return self.seconds
        return min(self.seconds, self.deadline - time.time())


def request_limit(seconds: float | None, kind: str, nodes: int, links: int, from_node: str | None = None,
                  to: str | None = None, strategy: str | None = None, shared: bool = False) -> Limit | None:
    """The limit of a call on a network of `nodes` nodes and `links` links,
    or None without `seconds`; `shared` makes it one deadline for all tasks."""
    if seconds is None:
        return None
    return Limit(seconds, running_text(kind, nodes, links, from_node, to), strategy,
                 time.time() + seconds if shared else None)


def call_limited(limit: Limit | None, function: Callable[..., R], *args: Any) -> R:
    """`function(*args)`, ended with TimeoutError(limit.message()) when it
    runs out of time. Off the main thread `function` and `args` must pickle
    (they run in a child process)."""
    if limit is None:
        return function(*args)
    if limit.remaining() <= 0.0:
        raise TimeoutError(limit.message())
    if threading.current_thread() is threading.main_thread() and hasattr(signal, "setitimer"):
        with time_limit(limit.remaining(), limit.message):
            return function(*args)
    result: R = _in_child(limit, function, args)
    return result


class _Alarm:
    """One time limit on the main thread, and the timer it found (its due
    time on the monotonic clock and its interval), which it keeps running."""

    def __init__(self, seconds: float, message: Callable[[], str]) -> None:
        now = time.monotonic()
        self.deadline = now + seconds
        self.message = message
        self.previous = signal.getsignal(signal.SIGALRM)
        delay, self.interval = signal.getitimer(signal.ITIMER_REAL)
        self.due: float | None = now + delay if delay > 0.0 else None
        self.finished = False

    def arm(self) -> None:
        """Set the timer for whichever comes first: the limit or the found timer."""
        now = time.monotonic()
        wake = self.deadline if self.due is None else min(self.deadline, self.due)
        signal.setitimer(signal.ITIMER_REAL, max(wake - now, _SHORTEST_S))

    def restore_timer(self) -> None:
        """Set the timer as the found one would stand now."""
        if self.due is None:
            signal.setitimer(signal.ITIMER_REAL, 0.0)
        else:
            signal.setitimer(signal.ITIMER_REAL, max(self.due - time.monotonic(), _SHORTEST_S), self.interval)

    def hand_on(self, signum: int, frame: FrameType | None) -> None:
        """Run the found handler with the timer as it would stand without this
        limit, then learn the timer's schedule from it (a handler may re-arm
        it, and an outer limit does)."""
        self.restore_timer()
        try:
            previous = self.previous
            if callable(previous):
                previous(signum, frame)
            elif previous != signal.SIG_IGN:  # the default action ends the process
                signal.signal(signal.SIGALRM, signal.SIG_DFL)
                signal.raise_signal(signal.SIGALRM)
        finally:
            delay, self.interval = signal.getitimer(signal.ITIMER_REAL)
            self.due = time.monotonic() + delay if delay > 0.0 else None
            if not self.finished:
                self.arm()

    def on_alarm(self, signum: int, frame: FrameType | None) -> None:
        if self.finished:  # pending from just before the end; `restore` re-arms a due timer
            return
        now = time.monotonic()
        ours = now >= self.deadline - _SLACK_S
        theirs = self.due is not None and now >= self.due - _SLACK_S
        if theirs:
            # That timer expired: it reloads with its interval, if any.
            self.due = now + self.interval if self.interval > 0.0 else None
            self.hand_on(signum, frame)
        elif not ours:
            if signal.getitimer(signal.ITIMER_REAL)[0] == 0.0:
                self.arm()  # the timer came a little early
                return
            self.hand_on(signum, frame)  # a SIGALRM that no timer sent
        if ours:
            raise TimeoutError(self.message())

    def restore(self) -> None:
        self.finished = True
        signal.setitimer(signal.ITIMER_REAL, 0.0)
        # signal.signal first runs a SIGALRM that is still pending (on_alarm,
        # which now ignores it); a found timer that was due meanwhile is
        # re-armed to fire at once under its own handler.
        signal.signal(signal.SIGALRM, signal.SIG_DFL if self.previous is None else self.previous)
        self.restore_timer()


@contextmanager
def time_limit(seconds: float, message: Callable[[], str]) -> Iterator[None]:
    """On the main thread: raise TimeoutError(message()) from whatever runs
    when `seconds` have passed (an engine call ends within milliseconds)."""
    alarm = _Alarm(seconds, message)
    signal.signal(signal.SIGALRM, alarm.on_alarm)
    try:
        alarm.arm()
        yield
    finally:
        alarm.restore()


def _child_environment() -> dict[str, str]:
    """This process's environment, with its module path for the child."""
    environment = dict(os.environ)
    environment["PYTHONPATH"] = os.pathsep.join(path for path in sys.path if path)
    return environment


def _in_child(limit: Limit, function: Callable[..., R], args: tuple[Any, ...]) -> R:
    payload = pickle.dumps((limit, function, args))
    child = subprocess.Popen([sys.executable, "-c", _CHILD_CODE], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             env=_child_environment())
    try:
        output, _ = child.communicate(payload, timeout=max(limit.remaining(), 0.0) + _CHILD_GRACE_S)
    except subprocess.TimeoutExpired:
        child.kill()
        child.communicate()
        raise TimeoutError(limit.message()) from None
    except BaseException:
        child.kill()
        child.communicate()
        raise
    if child.returncode != 0 or not output:
        raise RuntimeError(f"the process that ran {limit.what} ended with status {child.returncode}")
    succeeded, value = pickle.loads(output)
    if succeeded:
        result: R = value
        return result
    raise value


def _child_main() -> None:
    """The child of `_in_child`: read the call from stdin, run it under its
    limit on this process's main thread, write the pickled outcome to stdout
    (the call's own output goes to stderr)."""
    out = sys.stdout.buffer
    sys.stdout = sys.stderr
    limit, function, args = pickle.loads(sys.stdin.buffer.read())
    outcome: tuple[bool, Any]
    try:
        outcome = (True, call_limited(limit, function, *args))
    except BaseException as error:
        outcome = (False, error)
    try:
        data = pickle.dumps(outcome)
    except Exception:
        data = pickle.dumps((False, RuntimeError(f"{type(outcome[1]).__name__}: {outcome[1]}")))
    out.write(data)
    out.flush()

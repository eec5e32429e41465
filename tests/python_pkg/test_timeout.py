"""`timeout=` ends long calls with a TimeoutError that says what ran out of
time, on the main thread (a SIGALRM timer that keeps a user's own timer and
handler), off it (a child process) and inside executor workers. Cases that
wait for a timer run in a child process, so a regression fails instead of
hanging the suite."""
import json
import signal
import subprocess
import sys
import textwrap
import time

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vorn
from vorn import cli
from vorn._checks import TIMEOUT_NO_LIMIT_S, checked_timeout

GENEROUS = 60.0  # seconds for a whole child; the limits inside are tenths of a second

# A complete graph of 24 nodes with random link values: the HighestSuccess
# route search (a longest path) takes far longer than any test waits.
SLOW_MESH = """
    import itertools, random
    import vorn
    r = random.Random(1)
    MESH = vorn.Network(tuple(vorn.Node(f"N{i}") for i in range(24)), tuple(
        vorn.Link(f"N{i}", f"N{j}", r.uniform(1, 100), r.uniform(0.7, 1.0), r.uniform(100, 1000))
        for i, j in itertools.combinations(range(24), 2)))
    LONG = 10**10  # runs: minutes of work on any built-in network
    # Its requests cost next to nothing of a QKD estimate's budget.
    CHAIN = vorn.Network(tuple(vorn.Node(f"N{i}") for i in range(3)),
                         tuple(vorn.Link(f"N{i}", f"N{i + 1}", 10.0, 0.97, 1000.0) for i in range(2)))
"""
LONGEST_PATH = "with the HighestSuccess strategy the route search is a longest-path search"


def child(code):
    """Run `code` (after SLOW_MESH) in a child and return what it printed as JSON."""
    done = subprocess.run([sys.executable, "-c", textwrap.dedent(SLOW_MESH) + textwrap.dedent(code)],
                          capture_output=True, text=True, timeout=GENEROUS)
    assert done.returncode == 0, done.stderr
    return json.loads(done.stdout)


def test_a_long_call_ends_with_what_ran_out_of_time_on_and_off_the_main_thread():
    out = child("""
        import json, signal, threading, time
        from concurrent.futures import ThreadPoolExecutor

        def outcome(call):
            started = time.monotonic()
            try:
                call()
            except TimeoutError as error:
                return [str(error), time.monotonic() - started]
            return ["finished", time.monotonic() - started]

        hs = lambda: MESH.request("N0", "N23", 0.5, 0.0, "HighestSuccess", timeout=0.3)
        result = {
            "main": outcome(hs),
            "thread": ThreadPoolExecutor(1).submit(outcome, hs).result(),
            "ensemble": outcome(lambda: vorn.builtin("telecom_backbone").simulate(
                "A", "E", 0.8, 100.0, LONG, seed=1, timeout=0.3)),
            "qkd": outcome(lambda: CHAIN.qkd("N0", "N2", 0.9, 100.0, 10**12, timeout=0.3)),
            "after": [signal.getsignal(signal.SIGALRM) == signal.SIG_DFL,
                      list(signal.getitimer(signal.ITIMER_REAL))],
        }
        print(json.dumps(result))
    """)
    for name in ("main", "thread"):
        message, seconds = out[name]
        assert message.startswith("the request from N0 to N23 on a network of 24 nodes and 276 links did not "
                                  "finish within the timeout of 0.3 s: " + LONGEST_PATH), name
        assert 0.3 <= seconds < GENEROUS / 2, name
    message, seconds = out["ensemble"]
    assert message == ("the ensemble of 10000000000 runs from A to E on a network of 6 nodes and 7 links did "
                       "not finish within the timeout of 0.3 s")
    assert out["qkd"][0] == ("the QKD estimate of 1000000000000 rounds from N0 to N2 on a network of 3 nodes and 2 "
                             "links did not finish within the timeout of 0.3 s")
    assert out["after"] == [True, [0.0, 0.0]]


def test_a_users_timer_keeps_its_schedule_handler_and_exceptions():
    out = child("""
        import json, signal, time
        from vorn._timeout import time_limit

        class Mine(Exception):
            pass

        ticks = []
        def tick(signum, frame):
            ticks.append(time.monotonic())
        def mine(signum, frame):
            raise Mine("the user's alarm")
        hs = lambda seconds: MESH.request("N0", "N23", 0.5, 0.0, "HighestSuccess", timeout=seconds)
        result = {}

        # A periodic timer of the user's ticks on during a limited call and after it.
        signal.signal(signal.SIGALRM, tick)
        signal.setitimer(signal.ITIMER_REAL, 0.05, 0.05)
        started = time.monotonic()
        try:
            hs(0.4)
        except TimeoutError:
            result["ended"] = time.monotonic() - started
        during = len(ticks)
        result["handler_back"] = signal.getsignal(signal.SIGALRM) is tick
        result["interval_back"] = signal.getitimer(signal.ITIMER_REAL)[1]
        time.sleep(0.3)
        result["ticks"] = [during, len(ticks) - during]
        signal.setitimer(signal.ITIMER_REAL, 0)

        # A user's alarm due before the limit ends the call with its own exception.
        signal.signal(signal.SIGALRM, mine)
        signal.setitimer(signal.ITIMER_REAL, 0.2)
        try:
            hs(5.0)
        except Mine as error:
            result["mine"] = str(error)
        result["mine_back"] = signal.getsignal(signal.SIGALRM) is mine

        # A limit inside a shorter vorn limit: the outer one ends the call.
        signal.signal(signal.SIGALRM, signal.SIG_DFL)
        try:
            with time_limit(0.2, lambda: "outer"):
                hs(5.0)
        except TimeoutError as error:
            result["outer"] = str(error)
        result["default_back"] = signal.getsignal(signal.SIGALRM) == signal.SIG_DFL
        print(json.dumps(result))
    """)
    assert 0.4 <= out["ended"] < GENEROUS / 2
    assert out["handler_back"] and out["interval_back"] == pytest.approx(0.05)
    during, after = out["ticks"]
    assert during >= 3 and after >= 2  # ~8 and ~6 on an idle machine
    assert out["mine"] == "the user's alarm" and out["mine_back"]
    assert out["outer"] == "outer" and out["default_back"]


@settings(max_examples=25, deadline=None)
@given(delay=st.floats(100.0, 1e6), interval=st.sampled_from([0.0, 0.5, 3600.0]),
       seconds=st.floats(0.05, 100.0))
def test_a_finished_call_restores_the_handler_and_timer_it_found(delay, interval, seconds):
    def handler(signum, frame):  # never due within the test
        raise AssertionError("the user's timer fired")

    chain = vorn.builtin("repeater_chain")
    expected = chain.request("N0", "N3", 0.9, 100.0, seed=3)
    previous = signal.signal(signal.SIGALRM, handler)
    try:
        signal.setitimer(signal.ITIMER_REAL, delay, interval)
        started = time.monotonic()
        result = chain.request("N0", "N3", 0.9, 100.0, seed=3, timeout=seconds)
        elapsed = time.monotonic() - started
        left, kept_interval = signal.getitimer(signal.ITIMER_REAL)
        assert signal.getsignal(signal.SIGALRM) is handler
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    assert kept_interval == pytest.approx(interval)
    assert delay - elapsed - 0.01 <= left <= delay
    assert (result.success, result.latency_ms, result.final_fidelity, result.execution_path) == (
        expected.success, expected.latency_ms, expected.final_fidelity, expected.execution_path)


def test_off_the_main_thread_a_limited_call_gives_the_same_result():
    from concurrent.futures import ThreadPoolExecutor

    chain = vorn.builtin("repeater_chain")
    with ThreadPoolExecutor(1) as pool:
        stats = pool.submit(chain.simulate, "N0", "N3", 0.9, 100.0, 500, 8, timeout=30.0).result()
        with pytest.raises(vorn.UnknownNodeError):  # refused before the child starts
            pool.submit(chain.simulate, "N0", "NX", 0.9, 100.0, 500, 8, timeout=30.0).result()
    assert vorn.to_dict(stats) == vorn.to_dict(chain.simulate("N0", "N3", 0.9, 100.0, 500, 8))


def test_sweeps_and_ensembles_limit_each_task_in_its_worker():
    out = child("""
        import json
        from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor
        grid = {"from_node": "N0", "to": "N23", "fidelity_target": 0.5, "max_latency_ms": 0.0,
                "strategy": ["HighestFidelity", "HighestSuccess"]}
        result = {}
        pools = {"process": ProcessPoolExecutor(2, initializer=vorn.worker_initializer),
                 "thread": ThreadPoolExecutor(2), "inline": vorn.parallel.InlineExecutor()}
        for name, pool in pools.items():
            try:
                vorn.sweep(MESH, grid, 1, timeout=0.5, executor=pool, progress=False)
            except TimeoutError as error:
                result[name] = str(error)
        backbone = vorn.builtin("telecom_backbone")
        try:
            vorn.simulate(backbone, "A", "E", 0.8, 100.0, LONG, seed=0, timeout=0.5, chunk_runs=10**6,
                          executor=pools["process"], progress=False)
        except TimeoutError as error:
            result["ensemble"] = str(error)
        try:
            vorn.sensitivity(MESH, "N0", "N23", 0.5, 0.0, 10, strategy="HighestSuccess", timeout=0.5)
        except TimeoutError as error:
            result["sensitivity"] = str(error)
        print(json.dumps(result))
    """)
    for name in ("process", "thread", "inline"):
        assert out[name].startswith("the ensemble of 1 runs of sweep point 1 from N0 to N23 on a network of 24 "
                                    "nodes and 276 links did not finish"), name
        assert LONGEST_PATH in out[name]
    assert out["ensemble"] == ("the ensemble of 10000000000 runs from A to E on a network of 6 nodes and 7 links "
                               "did not finish within the timeout of 0.5 s")
    assert out["sensitivity"].startswith("the request from N0 to N23") and LONGEST_PATH in out["sensitivity"]


@settings(max_examples=200)
@given(st.one_of(st.none(), st.floats(allow_nan=True), st.integers(-10, 10**12), st.booleans(), st.text(max_size=3)))
def test_timeouts_are_positive_seconds_or_no_limit(value):
    if value is None:
        assert checked_timeout(value) is None
    elif isinstance(value, (bool, str)):
        with pytest.raises(TypeError, match="timeout must be a number of seconds above 0"):
            checked_timeout(value)
    elif not value > 0:
        with pytest.raises(ValueError, match="timeout must be a number of seconds above 0"):
            checked_timeout(value)
    else:
        assert checked_timeout(value) == (None if value >= TIMEOUT_NO_LIMIT_S else float(value))


def test_command_line_timeout(tmp_path, capsys):
    assert cli.main(["route", "builtin:repeater_chain", "N0", "N3", "--timeout", "0"]) == 2
    assert "argument --timeout: 0 is not a number of seconds above 0" in capsys.readouterr().err
    assert cli.main(["route", "builtin:repeater_chain", "N0", "N3", "--timeout", "inf"]) == 0
    path = tmp_path / "mesh.vorn"
    out = child(f"""
        import contextlib, io, json
        from vorn import cli
        MESH.save({str(path)!r})
        err = io.StringIO()
        with contextlib.redirect_stderr(err), contextlib.redirect_stdout(io.StringIO()):
            status = cli.main(["route", {str(path)!r}, "N0", "N23", "--strategy", "HighestSuccess",
                               "--timeout", "0.3"])
        print(json.dumps([status, err.getvalue()]))
    """)
    status, err = out
    assert status == 1
    assert err.startswith("vorn route: error: the request from N0 to N23 on a network of 24 nodes and 276 links")
    assert LONGEST_PATH in err and "Traceback" not in err

"""Calls under hostile conditions, each run in a child process so that a
regression (a hang, an abort, a crash) fails one test instead of the suite:
requests that can never end, signal handlers that start calls, Ctrl-C while
a call runs on another thread, threads that cannot start and memory that
runs out.
"""
import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest

SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")
needs_address_limits = pytest.mark.skipif(
    SANITIZED, reason="the address sanitizer reserves more address space than any RLIMIT_AS leaves")

PRELUDE = """
import os, resource, signal, sys, threading, time
import vorn_core as vc

def chain(n, distance=10.0, fidelity=0.97, config=None):
    e = vc.VornEngine(config) if config is not None else vc.VornEngine()
    e.define_network([vc.NodeDefinition(f"N{i}", 1.0) for i in range(n)],
                     [vc.LinkDefinition(f"N{i}", f"N{i + 1}", distance, fidelity, 1000.0) for i in range(n - 1)])
    return e

def limit_address_space(headroom_bytes):
    with open("/proc/self/statm") as f:
        used = int(f.read().split()[0]) * resource.getpagesize()
    resource.setrlimit(resource.RLIMIT_AS, (used + headroom_bytes, resource.RLIM_INFINITY))
"""


def run_child(body, *, timeout=60, env=None):
    code = PRELUDE + textwrap.dedent(body)
    child_env = dict(os.environ, **(env or {}))
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=timeout,
                          env=child_env)


def unbounded_config():
    return """
    config = vc.SimulationConfig(float("inf"))
    physical = config.physical
    physical.baseline_purify_factor = -0.1
    config.physical = physical
    """


def test_a_request_that_can_never_end_ends_at_once_where_its_clock_stops():
    # The loss draws of a single request vary from call to call; every call
    # whose first round fails is abandoned from then on, and must end at the
    # clock where 2.5 ms no longer advances it (2^55 ms) instead of stepping
    # there for 10^16 rounds.
    done = run_child(unbounded_config() + """
    e = chain(3, config=config)
    outcomes = {(r.success, r.latency_ms) for r in
                (e.request_entanglement("N0", "N2", 0.9, float("inf")) for _ in range(200))}
    print(sorted(outcomes))
    """, timeout=60)
    assert done.returncode == 0, done.stderr
    outcomes = eval(done.stdout)
    assert (False, 2.0 ** 55) in outcomes
    assert all(success or latency == 2.0 ** 55 for success, latency in outcomes)


def test_signal_handlers_that_start_calls_get_recursion_error_not_a_crash():
    done = run_child("""
    e = chain(3)
    def handler(signum, frame):
        e.simulate("N0", "N2", 0.9, 100.0, 200000, seed=1)
    signal.signal(signal.SIGALRM, handler)
    signal.setitimer(signal.ITIMER_REAL, 0.001, 0.001)
    caught = None
    try:
        for _ in range(50):
            e.simulate("N0", "N2", 0.9, 100.0, 200000, seed=1)
    except BaseException as error:
        caught = error
    signal.setitimer(signal.ITIMER_REAL, 0, 0)
    signal.signal(signal.SIGALRM, signal.SIG_IGN)
    print(type(caught).__name__, caught)
    # The engine still works.
    print(e.simulate("N0", "N2", 0.9, 100.0, 1000, seed=1).total_runs)
    """, timeout=120)
    assert done.returncode == 0, done.stderr
    first, second = done.stdout.splitlines()
    assert first.startswith("RecursionError maximum nesting depth of vorn_core calls exceeded")
    assert second == "1000"


@pytest.mark.parametrize("call", [
    'e.simulate("N0", "N2", 0.9, 100.0, 10**10, seed=1)',
    'e.request_entanglement("N0", "N49", 0.5, 1e9, vc.StrategyType.HighestSuccess)',
])
def test_ctrl_c_ends_a_call_running_on_another_thread(call):
    body = """
    signal.signal(signal.SIGINT, signal.default_int_handler)
    e = chain(50) if "N49" in CALL else chain(3)
    def work():
        try:
            print("calling", flush=True)
            exec(CALL)
            print("worker finished", flush=True)
        except KeyboardInterrupt:
            print("worker interrupted", flush=True)
    t = threading.Thread(target=work, daemon=True)
    try:
        # The worker may take the lock for its call before start() returns
        # here, so the interrupt can reach this thread inside start() too.
        t.start()
        t.join()
        time.sleep(30)
    except KeyboardInterrupt:
        print("main interrupted", flush=True)
    """
    if "N49" in call:  # a long route search: a graph with many simple paths
        body = body.replace("chain(50)", "mesh()")
        body = """
    import itertools, random
    def mesh():
        rng = random.Random(3)
        e = vc.VornEngine()
        e.define_network([vc.NodeDefinition(f"N{i}", 1.0) for i in range(50)],
            [vc.LinkDefinition(f"N{a}", f"N{b}", rng.uniform(1, 300), rng.uniform(0.6, 1.0), 500.0)
             for a, b in itertools.combinations(range(50), 2)])
        return e
    """ + body
    code = PRELUDE + f"CALL = {call!r}\n" + textwrap.dedent(body)
    child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True)
    try:
        assert child.stdout.readline() == "calling\n"  # the worker thread, which then holds the lock
        time.sleep(0.5)  # the call is under way
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=20)
    finally:
        child.kill()
    # The main thread can only handle its Ctrl-C once the worker's call has
    # ended (the call holds the interpreter lock); whether the worker gets to
    # print first is a race with the main thread's exit.
    assert "main interrupted" in out, err
    assert "worker finished" not in out, out


@needs_address_limits
def test_worker_threads_that_cannot_start_leave_the_work_to_those_that_did():
    body = """
    e = chain(3)
    limit_address_space(200 * 2**20)  # room for a few thread stacks, not 1024
    s = e.simulate("N0", "N2", 0.9, 100.0, 3_000_000, seed=5)
    print(s.empirical_success_rate, s.mean_latency_ms, s.mean_fidelity, s.aggregate_congestion_drops)
    """
    many = run_child(body, env={"VORN_NUM_THREADS": "1024"})
    one = run_child(body, env={"VORN_NUM_THREADS": "1"})
    assert many.returncode == 0, many.stderr
    assert one.returncode == 0, one.stderr
    assert many.stdout == one.stdout


@needs_address_limits
def test_memory_running_out_in_a_call_is_a_memory_error_never_an_abort():
    # A 100,000-node chain, then a few MB of address space left: the route
    # search's allocations fail, at whatever point the headroom ends. Each
    # headroom in a fresh process, whose thread has never thrown before.
    outcomes = []
    for headroom_mb in (2, 8, 12, 64):
        done = run_child(f"""
        n = 100_000
        e = chain(n)
        limit_address_space({headroom_mb} * 2**20)
        try:
            e.request_entanglement("N0", f"N{{n - 1}}", 0.5, 1e9, vc.StrategyType.LowestLatency)
            print("ok")
        except MemoryError:
            print("MemoryError")
        """, timeout=120)
        assert done.returncode == 0, (headroom_mb, done.returncode, done.stderr)
        outcomes.append(done.stdout.strip())
    assert "MemoryError" in outcomes and outcomes[-1] == "ok"


# Each kind: what is made before the call, and the call.
LONG_CALLS = {
    "ensemble": ("e = chain(3)", 'e.simulate("N0", "N2", 0.9, 100.0, 10**10, seed=1)'),
    "sensitivity": ('stats = chain(50, distance=1.0, fidelity=0.999).simulate("N0", "N49", 0.5, 1e3, 100, seed=1)',
                    "stats.sensitivity_analysis(3)"),  # 198 reruns of a 49-hop chain: many seconds
    "comparison": ('endpoints = [vc.TopologyEndpoints("repeater_chain", "N0", "N3")]',
                   "vc.compare_topologies(endpoints, 0.999, 5000.0, 10**10)"),
    "qkd": ('e = chain(3)', 'e.run_qkd(vc.QKDParameters("N0", "N2", 0.9, 100.0, rounds=10**12))'),
    "physical": ('net = vc.generate_topology("repeater_chain")',
                 'vc.simulate_physical(net.nodes, net.links, "N0", "N3", 10**13, 1, 0.0, float("inf"), 0.2, 0.5, '
                 '0.9, 200.0, 30.0, None, 50.0)'),
}


@pytest.mark.parametrize("kind", sorted(LONG_CALLS))
def test_ctrl_c_ends_each_kind_of_long_call_on_the_main_thread(kind):
    setup, call = LONG_CALLS[kind]
    code = PRELUDE + textwrap.dedent(f"""
    signal.signal(signal.SIGINT, signal.default_int_handler)
    {setup}
    print("calling", flush=True)
    try:
        {call}
        print("finished", flush=True)
    except KeyboardInterrupt:
        print("interrupted", flush=True)
    """)
    child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True)
    try:
        assert child.stdout.readline() == "calling\n"
        time.sleep(0.5)
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=60)
    finally:
        child.kill()
    assert out == "interrupted\n", err


def test_a_daemon_thread_inside_a_call_does_not_hold_up_the_exit():
    # The main thread exits while a daemon thread sleeps; during the exit's
    # slow atexit handler the daemon thread wakes and starts a long call,
    # which holds the interpreter lock the exit needs: the call must end so
    # that the process can exit.
    done = run_child("""
    import atexit
    e = chain(3)
    def work():
        time.sleep(0.3)
        e.simulate("N0", "N2", 0.9, 100.0, 10**10, seed=1)
        print("finished", flush=True)
    threading.Thread(target=work, daemon=True).start()
    atexit.register(time.sleep, 1.0)
    sys.exit(0)
    """, timeout=30)
    assert done.returncode == 0, done.stderr
    assert "finished" not in done.stdout

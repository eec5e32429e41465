"""Ctrl-C ends long parallel work: the command line and the package's
parallel functions stop their workers' calls and exit, instead of finishing
ensembles that nobody waits for. Each case runs in a child process that is
sent SIGINT in the middle of work that would otherwise take minutes."""
import os
import signal
import subprocess
import sys
import textwrap

import pytest

pytest.importorskip("pandas")

LONG = 10**10  # runs: minutes of work for any request on a built-in network
GENEROUS = 20.0  # seconds; the bench (bench/ctrl_c.py) prints the real figures


def interrupt(code, whole_group=False, after=1.0):
    """Run `code` in a child, send SIGINT `after` seconds after it prints
    "ready", and return its exit status, output and error text."""
    child = subprocess.Popen([sys.executable, "-c", textwrap.dedent(code)], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, start_new_session=True)
    try:
        assert child.stdout.readline().strip() == "ready", child.stderr.read()
        try:
            child.wait(after)
        except subprocess.TimeoutExpired:
            pass
        assert child.poll() is None, "the work ended before the interrupt: " + child.stderr.read()
        if whole_group:
            os.killpg(child.pid, signal.SIGINT)
        else:
            child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=GENEROUS)
    except subprocess.TimeoutExpired:
        os.killpg(child.pid, signal.SIGKILL)
        child.communicate()
        pytest.fail(f"no exit within {GENEROUS} s of SIGINT")
    return child.returncode, out, err


REQUEST = ["builtin:telecom_backbone", "A", "E", "--fidelity", "0.8", "--budget", "100", "--runs", str(LONG)]


@pytest.mark.parametrize("argv, whole_group", [
    (["simulate", *REQUEST, "--seed", "1"], False),
    (["simulate", *REQUEST, "--seed", "1", "--workers", "1"], True),
    (["sweep", *REQUEST, "--fidelity", "0.8", "0.9", "--workers", "2"], True),
    (["compare", "--runs", str(LONG)], False),
], ids=["simulate", "simulate-in-process", "sweep-pool", "compare"])
def test_commands_exit_on_ctrl_c(argv, whole_group):
    code, out, err = interrupt(f"""
        import sys
        from vorn import cli
        print("ready", flush=True)
        sys.exit(cli.main({argv!r}))
        """, whole_group)
    assert code == 130, err
    assert "Traceback" not in err


def test_functions_raise_keyboard_interrupt_and_a_users_pool_stays_usable():
    code, out, err = interrupt(f"""
        from concurrent.futures import ProcessPoolExecutor
        import vorn
        net = vorn.builtin("telecom_backbone")
        grid = {{"from_node": "A", "to": "E", "fidelity_target": [0.8, 0.9, 0.95], "max_latency_ms": 100.0}}
        with ProcessPoolExecutor(2, initializer=vorn.worker_initializer) as pool:
            pool.submit(int).result()  # the workers exist before the interrupt
            print("ready", flush=True)
            try:
                vorn.sweep(net, grid, {LONG}, executor=pool)
            except KeyboardInterrupt:
                print("interrupted")
            # the interrupted workers are idle and take new work
            frame = vorn.sweep(net, grid, 100, executor=pool)
            print(len(frame), "rows")
        """)
    assert code == 0, err
    assert out.splitlines()[-2:] == ["interrupted", "3 rows"]

"""How long `vorn` commands and the package's parallel functions take to
exit after Ctrl-C, in the middle of long work. Each case runs in its own
process group; SIGINT goes either to the whole group (what a terminal's
Ctrl-C does) or to the main process alone (`kill -INT`). Prints seconds;
asserts nothing.

    python bench/ctrl_c.py
"""
import os
import signal
import subprocess
import sys
import time

LONG = "10000000000"
CLI = [sys.executable, "-m", "vorn.cli"]
REQUEST = ["builtin:telecom_backbone", "A", "E", "--fidelity", "0.8", "--budget", "100", "--runs", LONG]
API = "import vorn; net = vorn.builtin('telecom_backbone'); print('ready', flush=True); "
CASES = {
    "vorn simulate": CLI + ["simulate", *REQUEST, "--seed", "1"],
    "vorn simulate --workers 1": CLI + ["simulate", *REQUEST, "--seed", "1", "--workers", "1"],
    "vorn sweep": CLI + ["sweep", *REQUEST[:-1], "1000000000", "--fidelity", "0.8", "0.9"],
    "vorn sweep --workers 2": CLI + ["sweep", *REQUEST[:-1], "1000000000", "--fidelity", "0.8", "0.9",
                                     "--workers", "2"],
    "vorn compare": CLI + ["compare", "--runs", LONG],
    "vorn.simulate": [sys.executable, "-c", API + f"vorn.simulate(net, 'A', 'E', 0.8, 100.0, {LONG}, seed=1)"],
    "vorn.sweep": [sys.executable, "-c", API + "vorn.sweep(net, {'from_node': 'A', 'to': 'E', "
                   f"'fidelity_target': [0.8, 0.9], 'max_latency_ms': 100.0}}, {LONG})"],
    "vorn.compare": [sys.executable, "-c", API + f"vorn.compare(['telecom_backbone', 'repeater_chain'], 0.8, 100.0, "
                     f"{LONG})".replace("'telecom_backbone', 'repeater_chain'",
                                        "('telecom_backbone', 'A', 'E'), ('repeater_chain', 'N0', 'N3')")],
}


def exit_seconds(argv, whole_group, warm_up=2.0, limit=60.0):
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, start_new_session=True)
    time.sleep(warm_up)
    started = time.perf_counter()
    if whole_group:
        os.killpg(child.pid, signal.SIGINT)
    else:
        child.send_signal(signal.SIGINT)
    try:
        child.wait(limit)
    except subprocess.TimeoutExpired:
        os.killpg(child.pid, signal.SIGKILL)
        child.wait()
        return None, child.returncode
    return time.perf_counter() - started, child.returncode


def main():
    print(f"{'case':<28} {'Ctrl-C (group)':>16} {'kill -INT (process)':>20}")
    for name, argv in CASES.items():
        cells = []
        for whole_group in (True, False):
            seconds, code = exit_seconds(argv, whole_group)
            cells.append("> 60 s" if seconds is None else f"{seconds:.2f} s (exit {code})")
        print(f"{name:<28} {cells[0]:>16} {cells[1]:>20}")


if __name__ == "__main__":
    main()

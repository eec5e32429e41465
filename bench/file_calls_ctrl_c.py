"""How soon each kind of long file call ends after SIGINT: load_vorn_file,
validate, from_vorn_file and diff of a large file, a large save, and
define_network of 10^6 nodes. Each case runs in a child process that times
the call once uninterrupted, then starts it again; SIGINT arrives a quarter
of the way through, and the child reports when KeyboardInterrupt reached it.
Prints seconds; asserts nothing.

    python bench/file_calls_ctrl_c.py [nodes]     # default 600000 (about 170 MB)
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

KINDS = ["load_vorn_file", "validate", "from_vorn_file", "diff", "save", "define_network"]

CHILD = """
import os, sys, time
import vorn_core as v

kind, path, nodes = sys.argv[1], sys.argv[2], int(sys.argv[3])
if kind == "define_network":
    node_list = [v.NodeDefinition(f"n{i}", 1.0) for i in range(1_000_000)]
    link_list = [v.LinkDefinition(f"n{i}", f"n{i + 1}", 10.0, 0.9, 100.0) for i in range(999_999)]
    call = lambda: v.VornEngine().define_network(node_list, link_list)
else:
    if not os.path.exists(path):
        f = v.VornFile("bench")
        f.nodes = [v.VornNode(f"node-{i}", 100.0 + i) for i in range(nodes)]
        f.links = [v.VornLink(f"L{i}", f"node-{i}", f"node-{i + 1}", 10.0, 0.95, 1000.0) for i in range(nodes - 1)]
        f.save(path)
    record = v.load_vorn_file(path) if kind == "save" else None
    call = {
        "load_vorn_file": lambda: v.load_vorn_file(path),
        "validate": lambda: v.validate(path),
        "from_vorn_file": lambda: v.from_vorn_file(path),
        "diff": lambda: v.diff(path, path),
        "save": lambda: record.save(path + ".out"),
    }[kind]
started = time.perf_counter()
call()
print("ready", time.perf_counter() - started, flush=True)
try:
    call()
    print("completed", time.monotonic())
except KeyboardInterrupt:
    print("interrupted", time.monotonic())
"""


def time_to_stop(kind, path, nodes):
    child = subprocess.Popen([sys.executable, "-c", CHILD, kind, path, str(nodes)], stdout=subprocess.PIPE,
                             text=True)
    try:
        uninterrupted = float(child.stdout.readline().split()[1])
        time.sleep(uninterrupted / 4)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        how, at = child.communicate(timeout=300)[0].split()
    finally:
        child.kill()
        child.wait()
    return uninterrupted, how, float(at) - sent


def main():
    nodes = int(sys.argv[1]) if len(sys.argv) > 1 else 600_000
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "big.vorn")
        print(f"{'call':<16} {'uninterrupted':>14} {'SIGINT to KeyboardInterrupt':>28}")
        for kind in KINDS:
            uninterrupted, how, seconds = time_to_stop(kind, path, nodes)
            outcome = f"{seconds * 1000:.1f} ms" if how == "interrupted" else f"not stopped ({seconds:.2f} s)"
            print(f"{kind:<16} {uninterrupted:>12.2f} s {outcome:>28}")
        print(f"(file of {nodes} nodes, {os.path.getsize(path) / 1e6:.0f} MB)")


if __name__ == "__main__":
    main()

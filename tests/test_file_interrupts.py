"""File calls under signals, each run in a child process so that a
regression (a call that ignores Ctrl-C, a hang on a FIFO) fails one test
instead of the suite: Ctrl-C ends every kind of long file call with
KeyboardInterrupt and leaves what it worked on as it was; a signal that
interrupts a blocking open, read or write runs its handler and the call
goes on (or ends with the handler's exception); a source that never ends is
refused.
"""
import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest

import vorn_core as v

SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")
# Big enough that every call below takes a good fraction of a second.
NODES = 60_000 if SANITIZED else 300_000

# The child builds its inputs, times one uninterrupted call, then prints
# "ready <seconds>" and makes the same call again; the parent sends SIGINT a
# quarter of the uninterrupted time later. The child reports how the second
# call ended and how long it ran.
CHILD = """
import os, sys, time
import vorn_core as v

kind, path, nodes = sys.argv[1], sys.argv[2], int(sys.argv[3])

def big_file(n):
    f = v.VornFile("big")
    f.nodes = [v.VornNode(f"node-{i}", 100.0 + i) for i in range(n)]
    f.links = [v.VornLink(f"L{i}", f"node-{i}", f"node-{i + 1}", 10.0, 0.95, 1000.0) for i in range(n - 1)]
    return f

if kind == "define_network":
    nodes_ = [v.NodeDefinition(f"n{i}", 1.0) for i in range(1_000_000)]
    links_ = [v.LinkDefinition(f"n{i}", f"n{i + 1}", 10.0, 0.9, 100.0) for i in range(999_999)]
    def call():
        e = v.VornEngine()
        call.engine = e
        e.define_network(nodes_, links_)
else:
    if not os.path.exists(path):
        big_file(nodes).save(path)
    record = v.load_vorn_file(path) if kind == "save" else None
    calls = {
        "load_vorn_file": lambda: v.load_vorn_file(path),
        "validate": lambda: v.validate(path),
        "validate_with_positions": lambda: v.validate_with_positions(path),
        "from_vorn_file": lambda: v.from_vorn_file(path),
        "diff": lambda: v.diff(path, path),
        "save": lambda: record.save(path + ".out"),
    }
    call = calls[kind]

started = time.perf_counter()
call()
uninterrupted = time.perf_counter() - started
if kind == "save":
    os.replace(path + ".out", path + ".old")
    os.link(path + ".old", path + ".out")  # the file an interrupted save must keep
print("ready", uninterrupted, flush=True)
started = time.perf_counter()
try:
    call()
    print("completed", time.perf_counter() - started)
except KeyboardInterrupt:
    print("interrupted", time.perf_counter() - started)
if kind == "define_network":
    try:
        v.snapshot_topology(call.engine)
        print("engine has the network")
    except RuntimeError:
        print("engine has no network")
"""

KINDS = ["load_vorn_file", "validate", "validate_with_positions", "from_vorn_file", "diff", "save", "define_network"]


@pytest.fixture(scope="module")
def big_path(tmp_path_factory):
    return str(tmp_path_factory.mktemp("interrupts") / "big.vorn")


@pytest.mark.parametrize("kind", KINDS)
def test_ctrl_c_ends_every_kind_of_file_call(big_path, kind):
    child = subprocess.Popen([sys.executable, "-c", CHILD, kind, big_path, str(NODES)], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    try:
        ready = child.stdout.readline().split()
        assert ready and ready[0] == "ready", child.stderr.read()
        uninterrupted = float(ready[1])
        time.sleep(uninterrupted / 4)
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=120)
    finally:
        child.kill()
        child.wait()
    lines = out.split("\n")
    how, seconds = lines[0].split()
    latency = float(seconds) - uninterrupted / 4
    print(f"{kind}: {uninterrupted:.2f} s uninterrupted, ended {latency:.2f} s after SIGINT")
    assert how == "interrupted", err
    assert child.returncode == 0, err
    # It ended well before the call would have: not when the work was done.
    assert latency < uninterrupted / 2
    if kind == "save":
        with open(big_path + ".out", "rb") as kept, open(big_path + ".old", "rb") as old:
            assert kept.read() == old.read()
        leftovers = [name for name in os.listdir(os.path.dirname(big_path)) if ".tmp-" in name]
        assert leftovers == []
    if kind == "define_network":
        assert lines[1] == "engine has no network"


FIFO_PRELUDE = """
import os, signal, subprocess, sys, time
import vorn_core as v

fifo = sys.argv[1]
good = v.VornFile("through a pipe")
good.add_node("A", 1.0, 1)

def later(code, delay=0.4):
    # Another process opens the FIFO's other end after a while.
    return subprocess.Popen([sys.executable, "-c", f"import time; time.sleep({delay}); " + code])

ticks = []
def count(signum, frame):
    ticks.append(signum)
"""


def run_fifo_child(tmp_path, body):
    fifo = str(tmp_path / "pipe.vorn")
    os.mkfifo(fifo)
    code = FIFO_PRELUDE + textwrap.dedent(body)
    return subprocess.run([sys.executable, "-c", code, fifo], capture_output=True, text=True, timeout=60)


def test_signals_during_a_blocking_open_read_and_write_do_not_fail_the_call(tmp_path):
    # A timer fires every 20 ms while the calls block on the FIFO, first in
    # open (no writer or reader yet), then in read or write.
    done = run_fifo_child(tmp_path, """
    source = os.path.join(os.path.dirname(fifo), "good.vorn")
    good.save(source)
    signal.signal(signal.SIGALRM, count)
    signal.setitimer(signal.ITIMER_REAL, 0.02, 0.02)
    writer = later(f"open({fifo!r}, 'wb').write(open({source!r}, 'rb').read())")
    print(v.load_vorn_file(fifo).metadata.name)
    writer.wait()
    reader = later(f"open({source + '.copy'!r}, 'wb').write(open({fifo!r}, 'rb').read())")
    good.save(fifo)
    reader.wait()
    signal.setitimer(signal.ITIMER_REAL, 0)
    print(v.load_vorn_file(source + ".copy").metadata.name)
    print(len(ticks) > 10)
    """)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split("\n")[:3] == ["through a pipe", "through a pipe", "True"]


def test_a_handler_that_raises_during_a_blocking_open_ends_the_call_with_its_exception(tmp_path):
    done = run_fifo_child(tmp_path, """
    class Raised(Exception):
        pass
    def raise_it(signum, frame):
        raise Raised("from the handler")
    signal.signal(signal.SIGALRM, raise_it)
    for call in (lambda: v.load_vorn_file(fifo), lambda: good.save(fifo), lambda: v.validate(fifo)):
        signal.setitimer(signal.ITIMER_REAL, 0.05)
        try:
            call()
        except Raised as error:
            print(error)
    """)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split("\n")[:3] == ["from the handler"] * 3


def test_a_source_that_never_ends_is_refused_and_can_be_interrupted():
    code = textwrap.dedent("""
    import signal, time
    import vorn_core as v
    started = time.perf_counter()
    try:
        v.load_vorn_file("/dev/zero")
    except RuntimeError as error:
        print(error)
    signal.signal(signal.SIGALRM, signal.default_int_handler)
    signal.setitimer(signal.ITIMER_REAL, 0.1)
    started = time.perf_counter()
    try:
        v.validate("/dev/zero")
    except KeyboardInterrupt:
        print("interrupted", time.perf_counter() - started)
    """)
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.split("\n")
    assert lines[0] == ("Failed to load /dev/zero: IO error: the source is not a regular file and gave more "
                        "than 1 GiB without ending")
    assert lines[1].startswith("interrupted")


def test_a_device_that_ends_is_read_like_a_file(tmp_path):
    # Not a regular file, but short: read to its end like any file.
    path = tmp_path / "net.vorn"
    f = v.VornFile("from a device")
    f.add_node("A", 1.0, 1)
    f.save(str(path))
    done = subprocess.run([sys.executable, "-c", "import sys, vorn_core as v; "
                           "print(v.load_vorn_file('/dev/stdin').metadata.name)"],
                          input=path.read_bytes(), capture_output=True, timeout=60)
    assert done.returncode == 0, done.stderr
    assert done.stdout == b"from a device\n"
    with pytest.raises(RuntimeError, match=r"^Failed to load /dev/null: JSON parse error: EOF while parsing"):
        v.load_vorn_file("/dev/null")

"""Saving never destroys the file it replaces and never writes a file that
cannot be read back: the three save paths share these properties."""
import json
import math
import os
import pathlib
import shutil
import stat
import subprocess
import sys
import tempfile
import textwrap
import time

import pytest

import vorn_core as v


def big_file(nodes=400):
    f = v.VornFile("big")
    for i in range(nodes):
        f.add_node(f"node-{i}", 100.0 + i, 4)
        if i:
            f.add_link(f"L{i}", f"node-{i - 1}", f"node-{i}", 10.0, 0.95, 1000.0)
    return f


def engine_with(nodes=3):
    engine = v.VornEngine()
    ids = [f"n{i}" for i in range(nodes)]
    engine.define_network([v.NodeDefinition(n, 1.0) for n in ids],
                          [v.LinkDefinition(a, b, 10.0, 0.97, 1000.0) for a, b in zip(ids, ids[1:])])
    return engine


# Each save path: how to save a "size"-dependent network to a path, how to
# read it back, and the prefix of its write errors.
SAVERS = {
    "VornFile.save": (lambda size, p: big_file(size).save(p), lambda p: len(v.load_vorn_file(p).nodes), "IO error: "),
    "save": (lambda size, p: v.save(big_file(size), p), lambda p: len(v.load_vorn_file(p).nodes), "IO error: "),
    "save_topology": (lambda size, p: v.save_topology(engine_with(size), p),
                      lambda p: (e := v.VornEngine(), v.load_topology(e, p), e.request_entanglement(
                          "n0", "n1", 0.5, 100.0).execution_path)[2] and True,
                      "Failed to write topology file: "),
}
SAVER_IDS = list(SAVERS)
SAVER_VALUES = list(SAVERS.values())


def leftovers(directory, *expected):
    return sorted(set(os.listdir(directory)) - set(expected))


@pytest.mark.parametrize("name", SAVERS)
def test_disk_full_keeps_the_previous_file(tmp_path, name):
    save, read, prefix = SAVERS[name]
    path = tmp_path / "net.json"
    save(400, str(path))
    old = path.read_bytes()
    assert len(old) > 8192
    # In a child process: a file size limit below the new file's size makes
    # the write fail with EFBIG, as a full disk would with ENOSPC.
    child = textwrap.dedent(f"""
        import resource, signal, sys
        sys.path.insert(0, {os.path.dirname(__file__)!r})
        from test_safe_saving import SAVERS
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
        try:
            SAVERS[{name!r}][0](800, {str(path)!r})
        except RuntimeError as error:
            print(error)
        else:
            print("saved")
    """)
    done = subprocess.run([sys.executable, "-c", child], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith(prefix + "File too large (os error 27)")
    assert path.read_bytes() == old
    assert leftovers(tmp_path, "net.json") == []


READER = """
import sys, time, vorn_core as v
path, kind = sys.argv[1], sys.argv[2]
bad = loads = 0
first = ""
end = time.monotonic() + 1.5
while time.monotonic() < end:
    try:
        if kind == "vorn":
            v.load_vorn_file(path)
        else:
            v.load_topology(v.VornEngine(), path)
        loads += 1
    except RuntimeError as error:
        bad += 1
        first = first or str(error)
print(loads, bad, first[:300], sep="\\n")
"""


@pytest.mark.parametrize("save,kind", [
    (lambda size, p: big_file(size).save(p), "vorn"),
    (lambda size, p: v.save_topology(engine_with(size), p), "snapshot"),
], ids=["vorn", "snapshot"])
def test_a_concurrent_reader_never_sees_a_partial_file(tmp_path, save, kind):
    path = str(tmp_path / "shared.json")
    save(50, path)
    reader = subprocess.Popen([sys.executable, "-c", READER, path, kind], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True)
    saves = 0
    while reader.poll() is None:
        save(50 + saves % 400, path)
        saves += 1
    out, err = reader.communicate()
    loads, bad, first = (out.split("\n") + ["", ""])[:3]
    assert saves > 10 and int(loads) > 10, err[-2000:]
    assert int(bad) == 0, first
    assert leftovers(tmp_path, "shared.json") == []


@pytest.mark.parametrize("save,read,prefix", SAVER_VALUES, ids=SAVER_IDS)
def test_replacing_keeps_mode_and_follows_links(tmp_path, save, read, prefix):
    target = tmp_path / "real" / "net.json"
    target.parent.mkdir()
    target.write_text("old")
    target.chmod(0o640)
    link = tmp_path / "link.json"
    link.symlink_to(os.path.join("real", "net.json"))  # relative to the link's own directory
    save(3, str(link))
    assert link.is_symlink() and os.readlink(link) == os.path.join("real", "net.json")
    assert stat.S_IMODE(target.stat().st_mode) == 0o640
    assert read(str(target))
    assert leftovers(target.parent, "net.json") == []
    # A new file gets the mode that the process's umask gives.
    fresh = tmp_path / "fresh.json"
    save(3, str(fresh))
    umask = os.umask(0)
    os.umask(umask)
    assert stat.S_IMODE(fresh.stat().st_mode) == 0o666 & ~umask
    # A name near the system's limit still leaves room for the temporary one.
    save(3, str(tmp_path / ("n" * 250)))
    assert read(str(tmp_path / ("n" * 250)))


@pytest.mark.parametrize("save,read,prefix", SAVER_VALUES, ids=SAVER_IDS)
def test_failed_writes_leave_nothing_behind(tmp_path, save, read, prefix):
    (tmp_path / "dir").mkdir()
    for target in ("dir", "missing/x.json", ""):
        with pytest.raises(RuntimeError) as info:
            save(3, str(tmp_path / target) if target else "")
        assert str(info.value).startswith(prefix) and len(str(info.value)) > len(prefix)
    assert leftovers(tmp_path, "dir") == [] and os.listdir(tmp_path / "dir") == []
    if os.geteuid() != 0:  # root writes anywhere
        # A directory that takes no new files: a new file is refused, a
        # writable existing one is still saved (in place).
        locked = tmp_path / "locked"
        locked.mkdir()
        (locked / "x.json").write_text("old")
        locked.chmod(0o500)
        try:
            with pytest.raises(RuntimeError, match="^" + prefix + "Permission denied"):
                save(3, str(locked / "new.json"))
            save(3, str(locked / "x.json"))
            assert read(str(locked / "x.json"))
            assert os.listdir(locked) == ["x.json"]
        finally:
            locked.chmod(0o700)


# In a child process: a directory that takes no new files, as an ordinary
# user meets it (root may create files anywhere, so a child running as root
# hands the directory to "nobody" and becomes that user first).
LOCKED_DIRECTORY = """
import os, resource, shutil, signal, sys, tempfile, threading
sys.path.insert(0, {tests!r})
from test_safe_saving import SAVERS
save, read, prefix = SAVERS[{name!r}]
directory = tempfile.mkdtemp(dir={parent!r})
path = os.path.join(directory, "net.json")
save(400, path)
old = open(path, "rb").read()
if os.geteuid() == 0:
    os.chown(directory, 65534, 65534)
    os.chown(path, 65534, 65534)
    os.setgid(65534)
    os.setuid(65534)
os.chmod(directory, 0o500)

def outcome(size):
    try:
        save(size, path)
        return "saved"
    except RuntimeError as error:
        return str(error)

# A file size limit below the new size: the write fails with EFBIG.
signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
resource.setrlimit(resource.RLIMIT_FSIZE, (len(old) // 2, resource.RLIM_INFINITY))
print(outcome(800))
print(open(path, "rb").read() == old)
resource.setrlimit(resource.RLIMIT_FSIZE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
# Shorter and longer contents are saved in place and read back whole.
print(outcome(3), read(path), outcome(500), read(path))
# A file that can be written but not read cannot be restored: refused.
before = open(path, "rb").read()
os.chmod(path, 0o200)
print(outcome(3))
os.chmod(path, 0o600)
print(open(path, "rb").read() == before, sorted(os.listdir(directory)))
"""


@pytest.mark.parametrize("name", SAVERS)
def test_in_place_saves_keep_the_old_contents_when_the_write_fails(name):
    # Under /tmp itself, which every user can reach (pytest's own temporary
    # folders are private to their owner).
    parent = pathlib.Path(tempfile.mkdtemp(prefix="vorn_locked_", dir="/tmp"))
    try:
        parent.chmod(0o777)
        code = LOCKED_DIRECTORY.format(tests=os.path.dirname(__file__), name=name, parent=str(parent))
        done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60)
    finally:
        for child_directory in parent.iterdir():
            child_directory.chmod(0o700)
        shutil.rmtree(parent)
    assert done.returncode == 0, done.stderr
    prefix = SAVERS[name][2]
    lines = done.stdout.split("\n")
    assert lines[0] == prefix + "File too large (os error 27)"
    assert lines[1] == "True"
    assert lines[2].startswith("saved ") and " saved " in lines[2]
    assert lines[3].startswith(prefix + "cannot replace the file safely: the directory '" + str(parent))
    assert lines[3].endswith("' takes no new files and the file cannot be read to restore it if the write fails")
    assert lines[4] == "True ['net.json']"


# Ctrl-C at different moments of in-place rewrites of a large file: each
# one leaves the old contents or the whole new ones.
INTERRUPTED_IN_PLACE = """
import os, signal, sys, tempfile, threading, time
sys.path.insert(0, {tests!r})
from test_safe_saving import big_file
directory = tempfile.mkdtemp(dir={parent!r})
path = os.path.join(directory, "net.vorn")
big_file(20000).save(path)
if os.geteuid() == 0:
    os.chown(directory, 65534, 65534)
    os.chown(path, 65534, 65534)
    os.setgid(65534)
    os.setuid(65534)
os.chmod(directory, 0o500)
versions = [big_file(n) for n in (60000, 5000)]
signal.signal(signal.SIGALRM, signal.default_int_handler)
import vorn_core as v

def whole_new(step):
    try:
        return "saved" if len(v.load_vorn_file(path).nodes) == len(versions[step % 2].nodes) else "BROKEN"
    except RuntimeError as error:
        return "BROKEN " + str(error)[:200]

outcomes = []
for step in range(40):
    before = open(path, "rb").read()
    signal.setitimer(signal.ITIMER_REAL, 0.008 * (step % 30 + 1))  # serialising, writing, syncing
    try:
        versions[step % 2].save(path)
        signal.setitimer(signal.ITIMER_REAL, 0)
        outcomes.append("saved")
    except KeyboardInterrupt:
        # The alarm may also land just after a save returned.
        outcomes.append("kept" if open(path, "rb").read() == before else whole_new(step))
    try:
        time.sleep(0.05)  # a late alarm lands here, not in the next save
    except KeyboardInterrupt:
        pass
print(sorted(set(outcomes)), os.listdir(directory))
"""


def run_in_locked_directory(template, timeout):
    """Runs `template` (formatted with the tests folder and a parent folder
    that anyone may enter) in a child process that locks its own directory;
    the parent folder and all in it are removed afterwards."""
    parent = pathlib.Path(tempfile.mkdtemp(prefix="vorn_locked_", dir="/tmp"))
    try:
        parent.chmod(0o777)
        code = template.format(tests=os.path.dirname(__file__), parent=str(parent))
        return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=timeout)
    finally:
        for child_directory in parent.iterdir():
            child_directory.chmod(0o700)
        shutil.rmtree(parent)


def test_ctrl_c_during_in_place_saves_keeps_the_old_contents():
    done = run_in_locked_directory(INTERRUPTED_IN_PLACE, timeout=300)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() in ("['kept', 'saved'] ['net.vorn']", "['kept'] ['net.vorn']")


# Two processes rewrite one file in place (its directory takes no new
# files) at the same time, many times over, with contents of different
# lengths: each rewrite must be whole, never a mix of the two.
CONCURRENT_IN_PLACE = """
import os, sys, tempfile
sys.path.insert(0, {tests!r})
from test_safe_saving import big_file
import vorn_core as v
directory = tempfile.mkdtemp(dir={parent!r})
path = os.path.join(directory, "net.vorn")
big_file(10).save(path)
if os.geteuid() == 0:
    os.chown(directory, 65534, 65534)
    os.chown(path, 65534, 65534)
    os.setgid(65534)
    os.setuid(65534)
os.chmod(directory, 0o500)
def saver(size):
    # A forked child: "nobody" may not start the interpreter, which lives
    # in root's home.
    pid = os.fork()
    if pid == 0:
        f = big_file(size)
        for _ in range(30):
            f.save(path)
        os._exit(0)
    return pid
pids = [saver(size) for size in (200, 1500)]
statuses = []
for pid in pids:
    while True:
        try:
            v.load_vorn_file(path)
        except RuntimeError:
            pass  # a reader may see a rewrite under way: in place, nothing can prevent that
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            statuses.append(os.waitstatus_to_exitcode(status))
            break
print(statuses, len(v.load_vorn_file(path).nodes), os.listdir(directory))
"""


def test_concurrent_in_place_saves_leave_one_whole_file():
    done = run_in_locked_directory(CONCURRENT_IN_PLACE, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() in ("[0, 0] 200 ['net.vorn']", "[0, 0] 1500 ['net.vorn']")


# Saves a big network again and again until killed.
ENDLESS_SAVER = """
import sys
sys.path.insert(0, {tests!r})
from test_safe_saving import big_file
f = big_file(60000)
while True:
    f.save({path!r})
"""


def temporaries(directory):
    return sorted(name for name in os.listdir(directory) if ".tmp-" in name)


def test_a_later_save_removes_what_a_killed_save_left_behind(tmp_path):
    path = tmp_path / "net.vorn"
    # A name of the temporary form whose process lives (this one's parent)
    # and one that only looks alike stay.
    kept = [f".net.vorn.tmp-{os.getppid()}-1-2-3", ".net.vorn.tmp-notes"]
    for name in kept:
        (tmp_path / name).write_text("not ours to remove")
    saver = subprocess.Popen([sys.executable, "-c", ENDLESS_SAVER.format(tests=os.path.dirname(__file__),
                                                                          path=str(path))])
    try:
        deadline = time.monotonic() + 60
        while set(temporaries(tmp_path)) <= set(kept) and time.monotonic() < deadline:
            time.sleep(0.001)
        saver.kill()  # SIGKILL, in the middle of writing its temporary file
    finally:
        saver.kill()
        saver.wait()
    stale = sorted(set(temporaries(tmp_path)) - set(kept))
    assert len(stale) == 1 and stale[0].startswith(f".net.vorn.tmp-{saver.pid}-"), temporaries(tmp_path)
    big_file(3).save(str(path))
    assert temporaries(tmp_path) == sorted(kept)
    assert len(v.load_vorn_file(str(path)).nodes) == 3


CONCURRENT_SAVER = """
import sys
sys.path.insert(0, {tests!r})
from test_safe_saving import big_file
f = big_file({size})
for _ in range(40):
    f.save({path!r})
"""


def test_concurrent_savers_leave_one_whole_file(tmp_path):
    path = str(tmp_path / "net.vorn")
    savers = [subprocess.Popen([sys.executable, "-c", CONCURRENT_SAVER.format(
        tests=os.path.dirname(__file__), size=size, path=path)], stderr=subprocess.PIPE, text=True)
        for size in (300, 700)]
    errors = [saver.communicate(timeout=120)[1] for saver in savers]
    assert [saver.returncode for saver in savers] == [0, 0], errors
    assert len(v.load_vorn_file(path).nodes) in (300, 700)
    assert leftovers(tmp_path, "net.vorn") == []


# ---------------------------------------------------------------- reals JSON cannot hold

def file_of(**attributes):
    f = v.VornFile("x")
    for name, value in attributes.items():
        setattr(f, name, value)
    return f


def link_file(distance=10.0, fidelity=0.9, rate=100.0, satellite=None):
    f = v.VornFile("x")
    f.add_link("L", "A", "B", distance, fidelity, rate, satellite=satellite)
    return f


NON_FINITE_FILES = [
    # (record, member, a file holding the value there)
    ("VornLink", "distance_km", lambda x: link_file(distance=x)),
    ("VornLink", "base_fidelity", lambda x: link_file(fidelity=x)),
    ("VornLink", "generation_rate_hz", lambda x: link_file(rate=x)),
    ("VornSatelliteExtension", "weather_factor", lambda x: link_file(satellite=v.VornSatelliteExtension(1.0, x))),
    ("VornNode", "memory_lifetime_ms", lambda x: file_of(nodes=[v.VornNode("A", x)])),
    ("VornConfig", "gamma_swapping", lambda x: file_of(config=v.VornConfig(gamma_swapping=x))),
    ("VornConstraints", "max_latency_ms", lambda x: file_of(constraints=v.VornConstraints(max_latency_ms=x))),
]


@pytest.mark.parametrize("value,text", [(math.inf, "inf"), (-math.inf, "-inf"), (math.nan, "NaN")])
@pytest.mark.parametrize("record,member,make", NON_FINITE_FILES, ids=[f"{r}.{m}" for r, m, _ in NON_FINITE_FILES])
@pytest.mark.parametrize("via", ["method", "function"])
def test_non_finite_reals_are_refused_before_writing(tmp_path, record, member, make, value, text, via):
    f = make(value)
    path = tmp_path / "kept.vorn"
    path.write_text("keep me")
    with pytest.raises(RuntimeError) as info:
        f.save(str(path)) if via == "method" else v.save(f, str(path))
    assert str(info.value) == f"JSON parse error: cannot write {record} member `{member}`: {text} is not a finite number"
    assert path.read_text() == "keep me"
    assert leftovers(tmp_path, "kept.vorn") == []
    # The same file with a finite value saves, with no null in it.
    make(1.0).save(str(path))
    assert "null" not in path.read_text() and json.loads(path.read_text())["version"] == "1.0"


def test_non_finite_custom_values_are_still_written_as_null(tmp_path):
    f = v.VornFile("x")
    f.extensions = {"custom": [math.nan, math.inf, 1.5]}
    f.save(str(tmp_path / "x.vorn"))
    assert v.load_vorn_file(str(tmp_path / "x.vorn")).extensions == {"custom": [None, None, 1.5]}


@pytest.mark.parametrize("record,member,engine", [
    ("NodeDefinition", "memoryLifetimeT2", lambda x: [v.NodeDefinition("A", x)]),
    ("LinkDefinition", "distanceKm", lambda x: [v.LinkDefinition("A", "B", x, 0.9, 1.0)]),
    ("LinkDefinition", "generationRateHz", lambda x: [v.LinkDefinition("A", "B", 1.0, 0.9, x)]),
])
def test_non_finite_snapshot_members_are_refused(tmp_path, record, member, engine):
    path = tmp_path / "kept.json"
    path.write_text("keep me")
    for value, text in [(math.inf, "inf"), (math.nan, "NaN")]:
        e = v.VornEngine()
        items = engine(value)
        e.define_network(items if record == "NodeDefinition" else [], items if record != "NodeDefinition" else [])
        with pytest.raises(RuntimeError) as info:
            v.save_topology(e, str(path))
        assert str(info.value) == (f"Failed to write topology file: cannot write {record} member `{member}`: "
                                   f"{text} is not a finite number")
        assert path.read_text() == "keep me"

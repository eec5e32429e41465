"""Saving never destroys the file it replaces and never writes a file that
cannot be read back: the three save paths share these properties."""
import json
import math
import os
import stat
import subprocess
import sys
import textwrap

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

"""File path arguments name files as the interpreter's own file functions
do: a str is encoded with the file system encoding (names that are not
UTF-8 arrive as surrogate escapes, as os.listdir gives them), an os.PathLike
gives its __fspath__, and every other type keeps the conversion error of text
arguments. Texts that name the paths hand them back as they were given."""
import os
import pathlib
import subprocess
import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vorn_core as v

NOT_UTF8 = os.fsdecode(b"caf\xe9 \xff.vorn")


class PathLike:
    def __init__(self, path):
        self.path = path

    def __fspath__(self):
        return self.path


def sample_file(name="paths"):
    f = v.VornFile(name)
    f.add_node("A", 1.0, 1)
    f.add_node("B", 1.0, 1)
    f.add_link("L", "A", "B", 10.0, 0.9, 100.0)
    return f


def engine():
    e = v.VornEngine()
    e.define_network([v.NodeDefinition("A", 1.0), v.NodeDefinition("B", 1.0)],
                     [v.LinkDefinition("A", "B", 10.0, 0.9, 100.0)])
    return e


# How each kind of path argument is formed from a str path.
FORMS = {
    "str": lambda p: p,
    "pathlib": pathlib.Path,
    "PathLike str": PathLike,
    "PathLike bytes": lambda p: PathLike(os.fsencode(p)),
}


@pytest.mark.parametrize("form", FORMS)
def test_every_file_function_accepts_the_name_as_the_file_system_spells_it(tmp_path, form):
    make = FORMS[form]
    vorn_path = os.path.join(str(tmp_path), NOT_UTF8)
    snapshot_path = os.path.join(str(tmp_path), "snap " + NOT_UTF8)
    sample_file().save(make(vorn_path))
    v.save_vorn_file_wrapper(sample_file("again"), make(vorn_path + "2"))
    v.save_topology(engine(), make(snapshot_path))
    # The files carry exactly the bytes of the names.
    assert sorted(os.listdir(os.fsencode(str(tmp_path)))) == sorted(
        os.fsencode(name) for name in (NOT_UTF8, NOT_UTF8 + "2", "snap " + NOT_UTF8))
    assert v.load_vorn_file(make(vorn_path)).metadata.name == "paths"
    assert v.load_vorn_file(make(vorn_path + "2")).metadata.name == "again"
    assert v.validate(make(vorn_path))["filepath"] == vorn_path
    assert v.diff(make(vorn_path), make(vorn_path + "2"))["summary"].startswith(
        f"Diff between '{vorn_path}' and '{vorn_path}2':\n")
    assert v.from_vorn_file(make(vorn_path)).request_entanglement("A", "B", 0.5, 100.0).success in (True, False)
    assert len(v.read_topology(make(snapshot_path)).nodes) == 2
    loaded = v.VornEngine()
    v.load_topology(loaded, make(snapshot_path))
    assert [node.id for node in v.snapshot_topology(loaded).nodes] == ["A", "B"]


def test_messages_name_the_path_as_it_was_given(tmp_path):
    missing = os.path.join(str(tmp_path), NOT_UTF8)
    with pytest.raises(RuntimeError) as info:
        v.load_vorn_file(missing)
    assert str(info.value) == f"Failed to load {missing}: IO error: No such file or directory (os error 2)"
    assert v.diff(missing, missing) == {
        "error": f"Failed to load {missing}: IO error: No such file or directory (os error 2)"}
    with pytest.raises(RuntimeError, match="^IO error: No such file or directory"):
        sample_file().save(os.path.join(missing, "x.vorn"))


@pytest.mark.parametrize("value,name", [(b"net.vorn", "bytes"), (None, "NoneType"), (3, "int"),
                                        (["net.vorn"], "list")])
def test_other_types_keep_the_conversion_error(value, name):
    for call in (lambda: v.load_vorn_file(value), lambda: v.validate(value), lambda: sample_file().save(value),
                 lambda: v.diff("a.vorn", value)):
        with pytest.raises(TypeError) as info:
            call()
        assert str(info.value).endswith(f"'{name}' object cannot be converted to 'PyString'")


def test_a_path_like_object_that_fails_passes_its_error_on():
    class Broken:
        def __fspath__(self):
            raise LookupError("no path today")

    with pytest.raises(LookupError, match="no path today"):
        v.load_vorn_file(Broken())
    with pytest.raises(TypeError):
        v.load_vorn_file(PathLike(3))


# Any name the file system takes (no "/", no NUL): saved and read back
# under exactly those bytes.
NAME_BYTES = st.binary(min_size=1, max_size=40).filter(lambda b: b"/" not in b and b"\0" not in b
                                                       and b not in (b".", b".."))


@settings(max_examples=60, deadline=None)
@given(NAME_BYTES)
def test_any_file_name_round_trips(tmp_path_factory, name):
    directory = tmp_path_factory.mktemp("names")
    path = os.path.join(str(directory), os.fsdecode(name))
    sample_file(os.fsdecode(b"n")).save(path)
    assert os.listdir(os.fsencode(str(directory))) == [name]
    assert v.validate(path) == {"valid": True, "filepath": path, "errors": [], "warnings": []}


def test_the_command_line_prints_a_name_that_is_not_utf8(tmp_path):
    path = os.path.join(str(tmp_path), NOT_UTF8)
    sample_file().save(path)
    for command in (["validate", path], ["info", path]):
        done = subprocess.run([sys.executable, "-m", "vorn.cli", *command], capture_output=True, timeout=60,
                              env=dict(os.environ, PYTHONIOENCODING="utf-8:strict"))
        assert done.returncode == 0, done.stderr
        assert b"Traceback" not in done.stderr
    assert done.stdout.startswith(b"name: paths\n")
    validate = subprocess.run([sys.executable, "-m", "vorn.cli", "validate", path], capture_output=True, timeout=60,
                              env=dict(os.environ, PYTHONIOENCODING="utf-8:strict"))
    assert validate.stdout == os.fsencode(path) + b": valid\n"

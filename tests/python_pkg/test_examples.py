"""Every example runs with small sizes; the drawing ones write a PNG."""
import os
import pathlib
import subprocess
import sys

import pytest

EXAMPLES = sorted((pathlib.Path(__file__).resolve().parents[2] / "examples").glob("*.py"))


@pytest.mark.parametrize("example", EXAMPLES, ids=[path.stem for path in EXAMPLES])
def test_example_runs(example, tmp_path):
    draws = "vorn.plot" in example.read_text()
    if draws:
        pytest.importorskip("matplotlib")
    out = tmp_path / "picture.png"
    argv = [sys.executable, str(example)] + (["--small", "--out", str(out)] if draws else [])
    done = subprocess.run(argv, cwd=tmp_path, capture_output=True, text=True, timeout=300,
                          env={**os.environ, "MPLBACKEND": "Agg"})
    assert done.returncode == 0, done.stderr
    if draws:
        assert out.read_bytes().startswith(b"\x89PNG") and out.stat().st_size > 2000

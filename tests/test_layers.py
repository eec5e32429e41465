"""The include layering of the C++ sources (tools/check_layers.py)."""
import pathlib
import sys

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tools"))
import check_layers  # noqa: E402


def test_no_file_includes_a_header_of_a_higher_layer():
    assert check_layers.upward_includes() == []


@pytest.mark.parametrize("path, include, upward", [
    ("simulation/ensemble.h", "engine/engine.h", True),
    ("network/network_graph.h", "engine/engine.h", True),   # the network sits below the engine
    ("random/chacha12.h", "threads/call_workers.h", False),
    ("threads/call_workers.h", "random/chacha12.h", True),
    ("routing/search_graph.h", "network/network_graph.h", False),
    ("engine/engine.h", "simulation/ensemble.h", False),
    ("topologies/summary.cc", "protocols/qkd.h", True),
    ("files/load_file.cc", "files/validation.h", False),
    ("simulation/ensemble.perf.cc", "topologies/builtin_topologies.h", False),  # benchmarks may
])
def test_upward_includes_are_found(tmp_path, path, include, upward):
    file = tmp_path / path
    file.parent.mkdir(parents=True)
    file.write_text(f'#include <vector>\n#include "{include}"\n', encoding="utf-8")
    assert bool(check_layers.upward_includes(tmp_path)) == upward


def test_a_folder_outside_the_table_is_an_error(tmp_path):
    (tmp_path / "extras").mkdir()
    (tmp_path / "extras" / "x.h").write_text('#include "common/errors.h"\n', encoding="utf-8")
    with pytest.raises(ValueError, match="extras/x.h is in no layer"):
        check_layers.upward_includes(tmp_path)

"""The module's surface is pinned by a golden dump; a change to any name,
signature, docstring or attribute shows up here. Refresh it deliberately with
`python tests/surface_dump.py --write`."""
import pathlib
import shutil
import subprocess
import sys

import pytest

import vorn_core

sys.path.insert(0, str(pathlib.Path(__file__).parent))
import surface_dump  # noqa: E402

CLASSES = [
    "VornEngine", "PhysicalConfig", "LinkDefinition", "SatelliteConditions", "EntanglementRequest",
    "MonteCarloStats", "TopologyComparisonResult", "TopologyComparisonReport", "LinkType", "StrategyType",
    "SimulationConfig", "NodeDefinition", "NetworkTopologyPayload", "VornFile", "VornNode", "VornLink",
    "VornConfig", "VornConstraints", "VornMetadata", "VornNodeType", "VornLinkType", "VornSatelliteExtension",
    "TopologyEndpoints", "QKDParameters", "QKDResult", "QKDStats", "TeleportationParameters",
    "TeleportationOutcome", "TeleportationStats", "BasisType", "CoordinationTopology", "MeasurementBasis",
    "DistributedComputingParameters", "PartyOutcome", "DistributedComputingResult", "DistributedComputingStats",
]
FUNCTIONS = [
    "generate_topology", "compare_topologies", "save_topology", "load_topology", "validate", "load_vorn_file",
    "diff", "diff_topologies", "from_vorn_file", "load", "save_vorn_file_wrapper", "save", "qkd",
    "teleportation", "distributed_computation", "read_topology", "snapshot_topology",
]
# Added after the original surface, in this order.
ADDED_FUNCTIONS = ["simulate_physical", "validate_with_positions"]


def test_golden_surface_matches():
    assert surface_dump.dump() == surface_dump.GOLDEN.read_text(encoding="utf-8")


def test_all_lists_classes_then_functions_in_order():
    assert vorn_core.__all__ == CLASSES + FUNCTIONS + ADDED_FUNCTIONS
    assert len(vorn_core.__all__) == 53 + len(ADDED_FUNCTIONS)


def test_aliases_are_the_same_objects():
    assert vorn_core.load is vorn_core.load_vorn_file
    assert vorn_core.save is vorn_core.save_vorn_file_wrapper
    assert vorn_core.load.__name__ == "load_vorn_file"


def test_unregistered_classes_are_not_module_attributes():
    hidden = vorn_core._hidden_classes()
    assert [cls.__name__ for cls in hidden] == [
        "SimulationResult", "PyMonteCarloContext", "TopologySnapshot", "TopologyMetadata", "TopologyConfig",
        "TopologyDiff", "PhysicalTotals"]
    for cls in hidden:
        assert not hasattr(vorn_core, cls.__name__)


# Each conversion names its Python type; composed types compose the names.
@pytest.mark.parametrize("key, expected", [
    ("NodeDefinition.id", "str"),
    ("VornEngine.simulate.runs", "int"),
    ("VornEngine.simulate.seed", "int | None"),
    ("SimulationResult.success", "bool"),
    ("SimulationResult.execution_path", "list[str]"),
    ("LinkDefinition.satellite_conditions", "SatelliteConditions | None"),
    ("PyMonteCarloContext.links", "list[tuple[str, str, float, float, float]]"),
    ("PhysicalTotals.delivery_histogram", "dict[float, int]"),
    ("CoordinationTopology.arbitrary.edges", "list[tuple[str, str]]"),
    ("load_vorn_file.filepath", "str | os.PathLike[str] | os.PathLike[bytes]"),
    ("VornFile.extensions", "Any"),
    ("VornFile.save", "None"),
    ("snapshot_topology", "TopologySnapshot"),
])
def test_python_types_come_from_the_conversions(key, expected):
    assert vorn_core._python_types()[key] == expected


def test_python_types_cover_every_attribute_and_function():
    types = vorn_core._python_types()
    for cls in [getattr(vorn_core, n) for n in vorn_core.__all__ if isinstance(getattr(vorn_core, n), type)]:
        for name, member in vars(cls).items():
            if not name.startswith("__") and not isinstance(member, cls):
                assert f"{cls.__name__}.{name}" in types
    for name in vorn_core.__all__:
        obj = getattr(vorn_core, name)
        if not isinstance(obj, type):
            assert obj.__name__ in types


@pytest.mark.skipif(shutil.which("nm") is None, reason="nm is not installed")
def test_only_the_init_function_is_exported():
    out = subprocess.run(["nm", "-D", "--defined-only", vorn_core.__file__], capture_output=True, text=True,
                         check=True).stdout
    symbols = [line.split()[-1] for line in out.splitlines()
               if len(line.split()) == 3 and line.split()[1] in "TDBRWV"]
    symbols = [s for s in symbols if s not in ("_init", "_fini")]
    assert symbols == ["PyInit_vorn_core"]

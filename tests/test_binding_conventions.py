"""Conventions every bound class and function follows."""
import inspect
import re
import subprocess
import sys
import weakref

import pytest

import vorn_core as v


def test_second_initialisation_raises_import_error():
    code = (
        "import sys, vorn_core\n"
        "del sys.modules['vorn_core']\n"
        "try:\n"
        "    import vorn_core\n"
        "except ImportError as e:\n"
        "    print('ImportError')\n"
    )
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert out.stdout.strip() == "ImportError"


def test_import_emits_no_warnings():
    code = "import warnings; warnings.simplefilter('error'); import vorn_core"
    subprocess.run([sys.executable, "-W", "error", "-c", code], check=True)


def test_internal_fault_is_a_base_exception_only():
    engine = v.VornEngine()
    with pytest.raises(BaseException) as info:
        try:
            engine.request_entanglement("A", "B", 0.9, 100.0)
        except Exception:  # must not catch the fault
            pytest.fail("the internal fault was caught as an Exception")
    fault = type(info.value)
    assert fault.__bases__ == (BaseException,)
    assert str(info.value) == "Network topology must be explicitly defined prior to run processing."
    assert fault.__name__ not in v.__all__ and not hasattr(v, fault.__name__)
    # the interpreter and the engine stay usable
    engine.define_network([], [])
    assert engine.request_entanglement("A", "B", 0.9, 100.0).success is False


def test_class_identity_and_default_repr():
    node = v.NodeDefinition("A", 1.0)
    assert type(node).__name__ == "NodeDefinition"
    assert type(node).__module__ == "builtins"
    assert re.fullmatch(r"<builtins\.NodeDefinition object at 0x[0-9a-f]+>", repr(node))
    assert v.VornEngine.__bases__ == (object,)


@pytest.mark.parametrize("cls,args", [
    (v.NodeDefinition, ("A", 1.0)),
    (v.PhysicalConfig, ()),
    (v.VornEngine, ()),
    (v.LinkDefinition, ("A", "B", 1.0, 0.9, 1.0)),
])
def test_no_dict_no_weakref_no_subclass(cls, args):
    obj = cls(*args)
    assert not hasattr(obj, "__dict__")
    with pytest.raises(AttributeError):
        obj.not_an_attribute = 1
    with pytest.raises(TypeError):
        weakref.ref(obj)
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


def test_attribute_delete_is_refused():
    node = v.NodeDefinition("A", 1.0)
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del node.id
    assert node.id == "A"


def test_nested_records_are_copies_both_ways():
    config = v.SimulationConfig()
    physical = config.physical
    physical.baseline_purify_factor = 0.3
    assert config.physical.baseline_purify_factor == 0.022
    config.physical = physical
    physical.baseline_purify_factor = 0.5
    assert config.physical.baseline_purify_factor == 0.3
    assert config.physical is not config.physical

    nodes = [v.NodeDefinition("A", 1.0)]
    payload = v.NetworkTopologyPayload(nodes, [])
    nodes[0].id = "changed"
    payload.nodes[0].id = "changed too"
    assert payload.nodes[0].id == "A"


def test_enumeration_members():
    assert v.StrategyType.LowestLatency is v.StrategyType.LowestLatency
    assert [m.to_u8() for m in (v.StrategyType.LowestLatency, v.StrategyType.HighestFidelity,
                                v.StrategyType.HighestSuccess)] == [0, 1, 2]
    assert repr(v.StrategyType.HighestFidelity) == "StrategyType.HighestFidelity"
    assert repr(v.LinkType.Satellite) == "LinkType.Satellite"
    link = v.LinkDefinition("A", "B", 1.0, 0.9, 1.0, v.LinkType.Satellite)
    read = link.link_type
    assert repr(read) == "LinkType.Satellite"
    assert read is not v.LinkType.Satellite and read is not link.link_type
    assert (read == v.LinkType.Satellite) is False  # no equality of their own
    with pytest.raises(TypeError):
        int(v.StrategyType.HighestSuccess)
    with pytest.raises(TypeError):
        _ = v.StrategyType.LowestLatency < v.StrategyType.HighestSuccess


@pytest.mark.parametrize("target,text", [
    (v.NodeDefinition, "(id, memory_lifetime_t2)"),
    (v.PhysicalConfig, "(alpha_loss_db_km=None)"),
    (v.VornEngine, "(config=None)"),
    (v.VornEngine.request_entanglement, "(self, /, from_node, to, fidelity_target, max_latency_ms, strategy=None)"),
    (v.SatelliteConditions.effective_rate, "(self, /, base_rate)"),
])
def test_text_signatures(target, text):
    assert str(inspect.signature(target)) == text


# Constructors: (class, required arguments, optional parameter -> its default, a value to give it).
CONSTRUCTOR_DEFAULTS = [
    (v.SatelliteConditions, (), {"visibility": (1.0, 0.5), "weather_factor": (1.0, 0.25)}),
    (v.LinkDefinition, ("A", "B", 1.0, 0.9, 10.0),
     {"link_type": (v.LinkType.Fiber, v.LinkType.Satellite), "satellite_conditions": (None, None)}),
    (v.EntanglementRequest, ("A", "B", 0.9, 1.0), {"strategy": (None, v.StrategyType.HighestSuccess)}),
    (v.QKDParameters, ("A", "B", 0.9, 10.0), {"rounds": (100, 7), "error_rate_tolerance": (0.11, 0.2),
                                              "sifting_overhead_ratio": (0.5, 0.6),
                                              "privacy_amplification_factor": (0.8, 0.7)}),
    (v.TeleportationParameters, ("A", "B"), {"state_fidelity": (0.95, 0.9), "classical_bandwidth_ms": (100.0, 3.0)}),
    (v.CoordinationTopology, ("star",), {"center_node": (None, "A"), "edges": (None, [("A", "B")])}),
    (v.MeasurementBasis, (),
     {"basis_type": (v.BasisType.GHZ, v.BasisType.Cluster), "correlation_strength": (0.85, 0.5)}),
    (v.DistributedComputingParameters, (["A"], v.CoordinationTopology.ring()),
     {"classical_relay_latency_ms": (5.0, 1.0)}),
    (v.VornNode, ("n",), {"memory_lifetime_ms": (None, 2.0), "memory_capacity": (None, 3),
                          "node_type": (None, v.VornNodeType.Repeater)}),
    (v.VornLink, ("L", "A", "B", 1.0, 0.9, 10.0),
     {"link_type": (None, v.VornLinkType.Fiber), "satellite": (None, None)}),
    (v.VornConfig, (), {"alpha_loss": (None, 0.2), "beta_fidelity_decay": (None, 0.1), "gamma_swapping": (None, 0.3),
                        "max_attempts": (None, 9)}),
    (v.VornConstraints, (), {"fidelity_target": (None, 0.9), "max_latency_ms": (None, 5.0)}),
    (v.VornMetadata, ("m",), {"description": (None, "d"), "author": (None, "a"), "created_at": (None, "c")}),
]


@pytest.mark.parametrize("cls,required,optional", CONSTRUCTOR_DEFAULTS, ids=lambda x: getattr(x, "__name__", ""))
def test_optional_constructor_arguments_default_or_store(cls, required, optional):
    # Left out or None, each optional member keeps the record's default; given, it holds the value given.
    # (Compared by repr: enumeration members read back as new objects.)
    def members(made):
        return {name: repr(getattr(made, name)) for name in optional}
    defaults = {name: repr(default) for name, (default, _) in optional.items()}
    assert members(cls(*required)) == members(cls(*required, **dict.fromkeys(optional))) == defaults
    given = {name: value for name, (_, value) in optional.items()}
    assert members(cls(*required, **given)) == {name: repr(value) for name, value in given.items()}


def test_docstrings_show_the_body_only():
    assert v.PhysicalConfig.__doc__ == ""
    assert v.SatelliteConditions.effective_rate.__doc__ == "Calculate effective generation rate based on conditions"
    assert v.LinkType.__doc__ == ""


def test_borrow_conflict_during_argument_conversion():
    engine = v.VornEngine()
    engine.define_network([v.NodeDefinition("A", 1.0)], [])

    class Sneaky:
        def __float__(self):
            engine.define_network([], [])
            return 0.5

    # request_entanglement reads the engine; converting the target tries to change it
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        engine.request_entanglement("A", "A", Sneaky(), 10.0)

    # define_network changes the engine; a read inside its conversion conflicts
    class Seq:
        def __len__(self):
            return 1

        def __getitem__(self, i):
            if i == 0:
                engine.request_entanglement("A", "A", 0.5, 1.0)
            raise IndexError

    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        engine.define_network(Seq(), [])
    # every borrow was released: the engine works again
    assert engine.request_entanglement("A", "A", 0.5, 1.0).success is True


def test_cycle_through_file_extensions_is_collected():
    import gc

    class Marker:
        pass

    marker = Marker()
    alive = weakref.ref(marker)
    qf = v.VornFile("cycle")
    qf.extensions = {"custom": [qf, marker]}  # the file refers to itself through its extensions
    del qf, marker
    gc.collect()
    assert alive() is None

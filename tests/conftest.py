import pytest

import vorn_core


@pytest.fixture
def chain_engine():
    """A three-node chain A-B-C with the default engine configuration."""
    engine = vorn_core.VornEngine()
    engine.define_network(
        [vorn_core.NodeDefinition(n, 1.0) for n in "ABC"],
        [
            vorn_core.LinkDefinition("A", "B", 10.0, 0.97, 1000.0),
            vorn_core.LinkDefinition("B", "C", 10.0, 0.97, 1000.0),
        ],
    )
    return engine

"""The types that the runtime surface of vorn_core does not tell: what each
attribute holds, what each parameter takes and what each call returns.

A name means the same type wherever it appears, unless an entry of CLASS_TYPES
("Class.attribute" or "Class.method.parameter", "function.parameter") says
otherwise. Types are written as they are stored and read back; the generator
turns `list[...]` into `Sequence[...]` for parameters and property setters,
and adds `| None` to parameters written `=None`.
"""

NAME_TYPES = {
    # texts
    "id": "str", "name": "str", "version": "str", "from_node": "str", "to": "str", "to_node": "str",
    "source_node": "str", "target_node": "str", "node_id": "str", "topology_name": "str", "summary": "str",
    "recommended_topology": "str", "kind": "str",
    "src": "str", "center_node": "str | None",
    # file paths: a str (names that are not UTF-8 as surrogate escapes) or a path-like object
    "filepath": "str | os.PathLike[str] | os.PathLike[bytes]", "file1": "str | os.PathLike[str] | os.PathLike[bytes]",
    "file2": "str | os.PathLike[str] | os.PathLike[bytes]",
    # reals
    "distance_km": "float", "base_fidelity": "float", "generation_rate_hz": "float",
    "memory_lifetime_t2": "float", "memory_lifetime_ms": "float | None", "visibility": "float",
    "weather_factor": "float", "base_rate": "float", "fidelity_target": "float", "max_latency_ms": "float",
    "latency_ms": "float", "final_fidelity": "float", "baseline_purify_factor": "float",
    "speed_of_light_in_fiber_km_ms": "float", "total_time_cutoff_ms": "float", "step_resolution_ms": "float",
    "alpha_loss_db_km": "float", "empirical_success_rate": "float", "mean_latency_ms": "float",
    "mean_fidelity": "float", "success_rate": "float", "efficiency_rate": "float", "qber": "float",
    "error_rate_tolerance": "float", "sifting_overhead_ratio": "float", "privacy_amplification_factor": "float",
    "mean_key_length_bits": "float", "mean_efficiency": "float", "mean_qber": "float",
    "state_fidelity": "float", "classical_bandwidth_ms": "float", "teleportation_fidelity": "float",
    "resource_entanglement_fidelity": "float", "mean_teleportation_fidelity": "float",
    "teleportation_fidelity_stddev": "float", "correlation_strength": "float",
    "classical_relay_latency_ms": "float", "local_fidelity": "float", "computation_fidelity": "float",
    "total_latency_ms": "float", "coordination_overhead_ms": "float", "mean_computation_fidelity": "float",
    "mean_party_success_rate": "float", "alpha_loss": "float | None", "beta_fidelity_decay": "float | None",
    "gamma_swapping": "float | None",
    "attenuation_db_km": "float", "source_efficiency": "float", "swap_success": "float", "speed_km_ms": "float",
    "satellite_loss_db": "float", "memory_cutoff_ms": "float | None", "delivery_ms_sum": "float",
    "fidelity_sum": "float", "elapsed_ms_sum": "float", "signalling_ms": "float",
    # whole numbers
    "runs": "int", "total_runs": "int", "seed": "int", "seed_base": "int", "rounds": "int",
    "secret_key_length_bits": "int", "rounds_completed": "int", "rounds_failed": "int",
    "classical_bits_transferred": "int", "aggregate_congestion_drops": "int",
    "memory_capacity": "int | None", "max_attempts": "int | None",
    "delivered": "int", "successes": "int", "abandoned": "int",
    # flags
    "success": "bool", "successful_measurement": "bool",
    # lists and maps
    "execution_path": "list[str]", "path": "list[str]", "participants": "list[str]", "relay_nodes": "list[str]",
    "resource_links_used": "list[str]", "nodes_added": "list[str]", "nodes_removed": "list[str]",
    "nodes_modified": "list[str]", "links_added": "list[str]", "links_removed": "list[str]",
    "links_modified": "list[str]", "nodes": "list[NodeDefinition]", "links": "list[LinkDefinition]",
    "edges": "list[tuple[str, str]] | None", "endpoints": "list[TopologyEndpoints]",
    "link_utilization_heatmap": "dict[str, int]", "link_utilization": "dict[str, int]",
    "attempts_per_link": "dict[str, int]", "delivery_histogram": "dict[float, int]",
    "results": "list[TopologyComparisonResult]", "party_results": "list[PartyOutcome]",
    # records and enumerations
    "physical": "PhysicalConfig", "config": "SimulationConfig", "strategy": "StrategyType",
    "link_type": "LinkType", "satellite_conditions": "SatelliteConditions | None",
    "satellite": "VornSatelliteExtension | None", "node_type": "VornNodeType | None",
    "basis_type": "BasisType", "measurement_basis": "MeasurementBasis",
    "coordination_topology": "CoordinationTopology", "engine": "VornEngine", "params": "QKDParameters",
    "qf": "VornFile", "snapshot1": "TopologySnapshot", "snapshot2": "TopologySnapshot",
    "description": "str | None", "author": "str | None", "created_at": "str | None",
}

CLASS_TYPES = {
    "EntanglementRequest.strategy": "StrategyType | None",
    "MonteCarloStats._context": "PyMonteCarloContext | None",
    "MonteCarloStats.__new__.context": "PyMonteCarloContext",
    "PyMonteCarloContext.seed": "int | None",
    "PyMonteCarloContext.nodes": "list[tuple[str, float]]",
    "PyMonteCarloContext.links": "list[tuple[str, str, float, float, float]]",
    "PyMonteCarloContext.strategy": "int | None",
    "VornFile.metadata": "VornMetadata",
    "VornFile.nodes": "list[VornNode]",
    "VornFile.links": "list[VornLink]",
    "VornFile.config": "VornConfig | None",
    "VornFile.constraints": "VornConstraints | None",
    "VornFile.extensions": "Any",
    "VornFile.add_link.link_type": "VornLinkType",
    "VornLink.link_type": "VornLinkType | None",
    "VornConstraints.fidelity_target": "float | None",
    "VornConstraints.max_latency_ms": "float | None",
    "TopologySnapshot.metadata": "TopologyMetadata",
    "TopologySnapshot.config": "TopologyConfig",
    "TopologyConfig.alpha_loss": "float",
    "TopologyConfig.gamma_swapping": "float",
    "CoordinationTopology.star.center_node": "str",
    "CoordinationTopology.arbitrary.edges": "list[tuple[str, str]]",
    "VornEngine.execute_teleportation.params": "TeleportationParameters",
    "VornEngine.run_distributed_computation.coordination_topology": "str",
    "VornEngine.run_distributed_computation.basis_type": "str",
}

# What each method and function returns ("None" for operations without a result).
RETURNS = {
    "VornEngine.define_network": "None",
    "VornEngine.request_entanglement": "SimulationResult",
    "VornEngine.simulate": "MonteCarloStats",
    "VornEngine.define_network_from_vorn": "None",
    "VornEngine.run_qkd": "QKDResult",
    "VornEngine.execute_teleportation": "TeleportationOutcome",
    "VornEngine.run_distributed_computation": "DistributedComputingResult",
    "SatelliteConditions.effective_rate": "float",
    "VornSatelliteExtension.effective_rate": "float",
    "MonteCarloStats.sensitivity_analysis": "dict[str, float]",
    "StrategyType.to_u8": "int",
    "VornFile.add_node": "None",
    "VornFile.add_link": "None",
    "VornFile.save": "None",
    "CoordinationTopology.star": "CoordinationTopology",
    "CoordinationTopology.ring": "CoordinationTopology",
    "CoordinationTopology.mesh": "CoordinationTopology",
    "CoordinationTopology.arbitrary": "CoordinationTopology",
    "generate_topology": "NetworkTopologyPayload",
    "compare_topologies": "TopologyComparisonReport",
    "save_topology": "None",
    "load_topology": "None",
    "validate": "_ValidationResult",
    "load_vorn_file": "VornFile",
    "diff": "_FileDiffResult",
    "diff_topologies": "TopologyDiff",
    "from_vorn_file": "VornEngine",
    "save_vorn_file_wrapper": "None",
    "qkd": "QKDResult",
    "teleportation": "TeleportationOutcome",
    "distributed_computation": "DistributedComputingResult",
    "read_topology": "TopologySnapshot",
    "snapshot_topology": "TopologySnapshot",
    "simulate_physical": "PhysicalTotals",
    "validate_with_positions": "_PositionedValidationResult",
}

# The plain dicts that `validate`, `validate_with_positions` and `diff`
# return, as typed dicts. They exist only for type checking (names starting
# with an underscore are not looked for at run time).
TYPED_DICTS = '''\
class _ValidationError(TypedDict):
    type: str
    message: str
    path: NotRequired[str]

class _ValidationWarning(TypedDict):
    message: str
    path: NotRequired[str]

class _ValidationResult(TypedDict):
    valid: bool
    filepath: str
    errors: list[_ValidationError]
    warnings: list[_ValidationWarning]

class _PositionedValidationError(TypedDict):
    type: str
    message: str
    path: NotRequired[str]
    record: int | None
    line: int
    column: int

class _LoadFailure(TypedDict):
    message: str
    line: int | None
    column: int | None

class _PositionedValidationResult(TypedDict):
    valid: bool
    filepath: str
    errors: list[_PositionedValidationError]
    warnings: list[_ValidationWarning]
    load_error: _LoadFailure | None

class _FileDiffResult(TypedDict, total=False):
    """Either "error" alone (a file could not be loaded) or the summary and the six lists."""
    error: str
    summary: str
    nodes_added: list[str]
    nodes_removed: list[str]
    nodes_modified: list[str]
    links_added: list[str]
    links_removed: list[str]
    links_modified: list[str]
'''

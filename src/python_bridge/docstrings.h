// Every docstring body of the module, in one place. Texts are exact: they
// are part of the module surface (see the golden surface dump).
#pragma once

namespace vorn::py::doc {

inline constexpr const char* kFromVornDoc =
    "Load a topology from a loaded .vorn file directly into the engine.\n"
    "Bridges both type systems \u2014 no manual NodeDefinition / LinkDefinition needed.";
inline constexpr const char* kQkdDoc = "Run BB84-style quantum key distribution between two nodes.";
inline constexpr const char* kTeleportationDoc =
    "Execute entanglement-based quantum state teleportation between two nodes.";
inline constexpr const char* kDistributedDoc =
    "Run a distributed quantum computing protocol across participating nodes.";
inline constexpr const char* kCompareDoc =
    "Compare multiple network topologies for the same entanglement request\n"
    "\n"
    "This function runs simulations across different topologies and returns\n"
    "a comprehensive comparison report.\n"
    "\n"
    "# Arguments\n"
    "* `endpoints` - List of (topology_name, from_node, to_node) entries, for example\n"
    "  \"telecom_backbone\" with (\"A\", \"C\") and \"hybrid_satellite_fiber\" with (\"Toronto\", \"London\")\n"
    "* `fidelity_target` - Required fidelity threshold for all simulations\n"
    "* `max_latency_ms` - Maximum allowed latency for all simulations\n"
    "* `runs` - Number of Monte Carlo runs per topology\n"
    "* `strategy` - Optional routing strategy (None for default)\n"
    "\n"
    "# Example\n"
    "```python\n"
    "endpoints = [\n"
    "    TopologyEndpoints(\"telecom_backbone\", \"A\", \"C\"),\n"
    "    TopologyEndpoints(\"hybrid_satellite_fiber\", \"Toronto\", \"London\"),\n"
    "]\n"
    "report = compare_topologies(endpoints, fidelity_target=0.75, max_latency_ms=5000.0,\n"
    "                            runs=1000, strategy=StrategyType.HighestFidelity)\n"
    "print(\"Recommended: \", report.recommended_topology)\n"
    "```";
inline constexpr const char* kSensitivityDoc =
    "Perturb each simulation parameter \u00b110 %, re-run the ensemble, and report\n"
    "which parameters most influence `empirical_success_rate`.\n"
    "\n"
    "Returns a dict sorted by absolute impact (descending):\n"
    "  {\"memory_lifetime_t2:node_A\": 0.34, \"base_fidelity:link_0->link_B\": 0.28, ...}";
inline constexpr const char* kLoadDoc =
    "Load a .vorn file from disk and return it as a VornFile object.\n"
    "\n"
    "Validates version (must be \"1.0\") and graph connectivity before returning.\n"
    "Raises RuntimeError on IO errors, parse errors, or validation failures.";
inline constexpr const char* kValidateDoc =
    "Validate a .vorn file and return structured results as a Python dict.\n"
    "\n"
    "Returns:\n"
    "    dict with keys:\n"
    "        - \"valid\" (bool): True if the file is valid\n"
    "        - \"filepath\" (str): The path that was validated\n"
    "        - \"errors\" (list[dict]): List of error dicts with \"type\" and \"message\" keys\n"
    "        - \"warnings\" (list[dict]): List of warning dicts with \"message\" and optional \"path\" keys";
inline constexpr const char* kValidateWithPositionsDoc =
    "Validate a .vorn file like `validate`, and say where in the file each finding is.\n"
    "\n"
    "Returns the dict of `validate` with one more key, and three more keys in each error dict:\n"
    "    - \"record\" (int | None): the index of the record the finding is about, in \"nodes\" for\n"
    "      DuplicateNodeId and in \"links\" for the link findings; None for GraphDisconnected\n"
    "    - \"line\", \"column\" (int): where that record starts (line and column from 1); for\n"
    "      GraphDisconnected, where the \"nodes\" list starts\n"
    "    - \"load_error\" (dict | None): when the file cannot be read or parsed or has another\n"
    "      version, {\"message\", \"line\", \"column\"} instead of raising: the message that\n"
    "      `validate` raises without its \"Failed to load PATH: \" prefix, and the reader's place\n"
    "      (the version's value for a version failure; None where there is no place); \"valid\"\n"
    "      is then False and the lists are empty.";
inline constexpr const char* kFromFileDoc =
    "Classmethod alternative to `VornEngine(config?)`: load a .vorn file and return an initialized engine.\n"
    "This is the \"from_file\" pattern \u2014 one call to start simulating.";
inline constexpr const char* kSaveWrapperDoc =
    "Save a PyVornFile to disk (module-level save alias for PyVornFile.save())";
inline constexpr const char* kAddNodeDoc =
    "Add a node with optional fields.\nIf optional args are None, the .vorn file will write null for that field.";
inline constexpr const char* kAddLinkDoc =
    "Add a link with optional fields.\nlink_type and satellite default to None (writes null in .vorn JSON).";
inline constexpr const char* kSaveDoc = "Save this .vorn file to disk as pretty-printed JSON.";
inline constexpr const char* kSrcDoc =
    "Link source node (Python kwarg is \"src\" to avoid Python keyword conflict with \"from\")";
inline constexpr const char* kContextDoc = "Optional context for post-hoc analysis (perturbation-based sensitivity).";
inline constexpr const char* kEffectiveRateDoc = "Calculate effective generation rate based on conditions";
inline constexpr const char* kCoordinationTopologyDoc = "Python-visible coordination topology wrapper.";
inline constexpr const char* kStarDoc = "Create a star topology with the given center node.";
inline constexpr const char* kRingDoc = "Create a ring topology.";
inline constexpr const char* kMeshDoc = "Create a mesh (all-to-all) topology.";
inline constexpr const char* kArbitraryDoc = "Create an arbitrary topology with explicit edges.";
inline constexpr const char* kTopologyEndpointsDoc = "Per-topology endpoint mapping for comparison";
inline constexpr const char* kComparisonResultDoc = "Comparison result for multiple topologies";
inline constexpr const char* kComparisonReportDoc = "Detailed comparison report for multiple topologies";
inline constexpr const char* kReadTopologyDoc =
    "Read a topology snapshot file (as load_topology does) and return it as a TopologySnapshot.\n"
    "Raises RuntimeError when the file cannot be read or parsed.";
inline constexpr const char* kSnapshotTopologyDoc =
    "Return the snapshot of the engine's network that save_topology would write, as a TopologySnapshot.\n"
    "Raises RuntimeError when the engine has no network.";

inline constexpr const char* kSimulatePhysicalDoc =
    "Run a seeded ensemble of the physical request model (fiber and satellite loss, Werner pairs,\n"
    "swap-asap repeater chains, memory decay and cutoff) and return its exact totals.\n"
    "Run i depends on seed + i alone; the totals are the same for any thread count.";

}  // namespace vorn::py::doc

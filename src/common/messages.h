// Every fixed text that the simulation core reports, in one place. Texts that
// need values are whole templates here, filled (fill_template) by the small
// functions beside them, on the failure path only.
// The Python-facing conversion and arity texts live in python_bridge/messages.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/template_text.h"

namespace vorn::msg {

// ---- engine ----
inline constexpr std::string_view kNoNetworkForRequest =
    "Network topology must be explicitly defined prior to run processing.";

// ---- simulation ----
inline constexpr std::string_view kNoNetworkForEnsemble = "No network defined. Call define_network() first.";
inline constexpr std::string_view kEmptyRange = "cannot sample empty range";
inline constexpr std::string_view kThreadRngPrefix = "could not initialize thread_rng: ";
inline constexpr std::string_view kUnboundedRange = "cannot sample a range of infinite width";

// ---- analysis ----
inline constexpr std::string_view kNoSimulationContext =
    "No simulation context available. Pass store_context=True to simulate().";

// ---- ensembles ----
inline constexpr std::string_view kNumThreadsVariable = "VORN_NUM_THREADS";
inline constexpr std::string_view kInvalidThreadCount =
    "VORN_NUM_THREADS must be a whole number of threads from 1 to 1024, got '{value}'";
inline std::string invalid_thread_count(std::string_view value) {
    return fill_template(kInvalidThreadCount, {{"value", value}});
}

// ---- protocols ----
inline constexpr std::string_view kCoordinationTopologyChoices =
    "coordination_topology must be one of: 'star', 'ring', 'mesh'";
inline constexpr std::string_view kBasisTypeChoices = "basis_type must be one of: 'ghz', 'cluster', 'graph'";

// ---- topologies ----
inline constexpr std::string_view kInvalidTopologyName =
    "Invalid topology name. Use: 'telecom_backbone', 'repeater_chain', or 'hybrid_satellite_fiber'";
inline constexpr std::string_view kComparisonRunsAtLeastOne = "runs must be at least 1";
inline constexpr std::string_view kNoTopologiesEvaluated = "No topologies evaluated";
inline constexpr std::string_view kUnknownRecommendation = "unknown";

inline constexpr std::string_view kUnknownComparisonTopology =
    "Unknown topology in endpoints: '{name}'. Supported: fiber_only, telecom_backbone, repeater_chain, "
    "hybrid_satellite_fiber, hybrid";
inline std::string unknown_comparison_topology(std::string_view name) {
    return fill_template(kUnknownComparisonTopology, {{"name", name}});
}

// `role` is "Source" or "Target"; `node_list` is already in list notation.
inline constexpr std::string_view kComparisonNodeMissing =
    "{role} node '{node}' not found in topology '{topology}'. Available nodes: {nodes}";
inline std::string comparison_node_missing(std::string_view role, std::string_view node, std::string_view topology,
                                           std::string_view node_list) {
    return fill_template(kComparisonNodeMissing,
                         {{"role", role}, {"node", node}, {"topology", topology}, {"nodes", node_list}});
}

// ---- api (.vorn reader and writer) ----
// Syntax problems of the JSON reader. Every reader message is one of the
// descriptions below (or one built by the functions that follow), then
// kJsonAtLine, the line, kJsonColumn and the column.
inline constexpr std::string_view kJsonEofInObject = "EOF while parsing an object";
inline constexpr std::string_view kJsonEofInList = "EOF while parsing a list";
inline constexpr std::string_view kJsonEofInString = "EOF while parsing a string";
inline constexpr std::string_view kJsonEofInValue = "EOF while parsing a value";
inline constexpr std::string_view kJsonExpectedColon = "expected `:`";
inline constexpr std::string_view kJsonExpectedListCommaOrEnd = "expected `,` or `]`";
inline constexpr std::string_view kJsonExpectedObjectCommaOrEnd = "expected `,` or `}`";
inline constexpr std::string_view kJsonExpectedValue = "expected value";
inline constexpr std::string_view kJsonExpectedIdent = "expected ident";
inline constexpr std::string_view kJsonKeyMustBeString = "key must be a string";
inline constexpr std::string_view kJsonTrailingComma = "trailing comma";
inline constexpr std::string_view kJsonTrailingCharacters = "trailing characters";
inline constexpr std::string_view kJsonInvalidNumber = "invalid number";
inline constexpr std::string_view kJsonNumberOutOfRange = "number out of range";
inline constexpr std::string_view kJsonControlCharacter =
    "control character (\\u0000-\\u001F) found while parsing a string";
inline constexpr std::string_view kJsonInvalidEscape = "invalid escape";
inline constexpr std::string_view kJsonInvalidCodePoint = "invalid unicode code point";
inline constexpr std::string_view kJsonLoneLeadingSurrogate = "lone leading surrogate in hex escape";
inline constexpr std::string_view kJsonUnexpectedEndOfHexEscape = "unexpected end of hex escape";
inline constexpr std::string_view kJsonRecursionLimit = "recursion limit exceeded";
inline constexpr std::string_view kJsonAtLine = " at line ";
inline constexpr std::string_view kJsonColumn = " column ";
// What a typed read wanted, as named in "invalid type" and "invalid value".
inline constexpr std::string_view kJsonWantedF64 = "f64";
inline constexpr std::string_view kJsonWantedU32 = "u32";
inline constexpr std::string_view kJsonWantedString = "a string";
inline constexpr std::string_view kJsonWantedSequence = "a sequence";
inline constexpr std::string_view kJsonWantedUnit = "unit";
inline constexpr std::string_view kJsonWantedVariant = "variant identifier";
inline constexpr std::string_view kJsonWantedStructPrefix = "struct ";
// What a typed read found instead.
inline constexpr std::string_view kJsonFoundNull = "null";
inline constexpr std::string_view kJsonFoundTrue = "boolean `true`";
inline constexpr std::string_view kJsonFoundFalse = "boolean `false`";
inline constexpr std::string_view kJsonFoundSequence = "sequence";
inline constexpr std::string_view kJsonFoundMap = "map";
inline constexpr std::string_view kJsonFoundStringPrefix = "string ";
inline constexpr std::string_view kJsonFoundIntegerPrefix = "integer `";
inline constexpr std::string_view kJsonFoundFloatPrefix = "floating point `";
inline constexpr std::string_view kJsonUnknownVariantPrefix = "unknown variant `";
inline constexpr std::string_view kJsonVariantExpectedInfix = "`, expected ";
inline constexpr std::string_view kJsonOneOf = "one of ";

inline constexpr std::string_view kJsonMissingField = "missing field `{name}`";
inline std::string json_missing_field(std::string_view name) {
    return fill_template(kJsonMissingField, {{"name", name}});
}

inline constexpr std::string_view kJsonDuplicateField = "duplicate field `{name}`";
inline std::string json_duplicate_field(std::string_view name) {
    return fill_template(kJsonDuplicateField, {{"name", name}});
}

inline constexpr std::string_view kJsonInvalidType = "invalid type: {found}, expected {wanted}";
inline std::string json_invalid_type(std::string_view found, std::string_view wanted) {
    return fill_template(kJsonInvalidType, {{"found", found}, {"wanted", wanted}});
}

inline constexpr std::string_view kJsonInvalidValue = "invalid value: {found}, expected {wanted}";
inline std::string json_invalid_value(std::string_view found, std::string_view wanted) {
    return fill_template(kJsonInvalidValue, {{"found", found}, {"wanted", wanted}});
}

// "invalid length 2, expected struct VornLink with 8 elements"
inline constexpr std::string_view kJsonInvalidLength =
    "invalid length {length}, expected struct {record} with {members}";
inline constexpr std::string_view kJsonOneElement = "1 element";
inline constexpr std::string_view kJsonElements = "{count} elements";
inline std::string json_invalid_length(std::size_t length, std::string_view record, std::size_t members) {
    const std::string count = members == 1 ? std::string(kJsonOneElement)
                                           : fill_template(kJsonElements, {{"count", std::to_string(members)}});
    return fill_template(kJsonInvalidLength,
                         {{"length", std::to_string(length)}, {"record", record}, {"members", count}});
}

// ---- files (loading, validation, diff, snapshots) ----
// Load failures, one prefix per kind; the Python layer puts
// "Failed to load <path>: " in front of them.
inline constexpr std::string_view kFailedToLoadPrefix = "Failed to load ";
inline constexpr std::string_view kIoErrorPrefix = "IO error: ";
inline constexpr std::string_view kJsonErrorPrefix = "JSON parse error: ";
inline constexpr std::string_view kValidationFailedPrefix = "Validation failed:\n";
inline constexpr std::string_view kUnsupportedVersionPrefix = "Unsupported vorn version: ";
inline constexpr std::string_view kSupportedVornVersion = "1.0";
// File access failures that the operating system does not word itself.
inline constexpr std::string_view kNulInPath = "file name contained an unexpected NUL byte";
inline constexpr std::string_view kInvalidUtf8 = "stream did not contain valid UTF-8";
// A source that is not a regular file (a device, a pipe) and keeps giving
// bytes: reading stops at kMaxStreamBytes.
inline constexpr std::string_view kStreamTooLong =
    "the source is not a regular file and gave more than 1 GiB without ending";
// A file in a directory that takes no new files, which could be rewritten
// in place only if its old contents could be read back for a failed write.
inline std::string unsafe_in_place_save(std::string_view directory) {
    std::string text = "cannot replace the file safely: the directory '";
    text.append(directory.empty() ? std::string_view(".") : directory);
    text.append("' takes no new files and the file cannot be read to restore it if the write fails");
    return text;
}
inline constexpr std::string_view kUnknownPlaceholder = "unknown";
// Validation report.
inline constexpr std::string_view kValidationPassed = "Validation passed.\n";
inline constexpr std::string_view kValidationFailedHeading = "Validation failed.\n";
inline constexpr std::string_view kReportErrorsHeading = "\nErrors:\n";
inline constexpr std::string_view kReportWarningsHeading = "\nWarnings:\n";
inline constexpr std::string_view kReportItemBullet = "   - ";
// Validation issues: the sentence (message) and the type text of each kind,
// whole, with {subject} (the node or link), {link}, {value} and {components}.
// A sentence gets " [{path}]" after it when the issue has a path.
inline constexpr std::string_view kDuplicateNodeIdMessage = "Duplicate node ID: {subject}";
inline constexpr std::string_view kDuplicateNodeIdType = "DuplicateNodeId: {subject}";
inline constexpr std::string_view kUnknownNodeMessage = "Unknown node reference '{subject}'";
inline constexpr std::string_view kUnknownNodeInLinkMessage = "Unknown node reference '{subject}' in link '{link}'";
inline constexpr std::string_view kUnknownNodeType = "UnknownNodeReference: {subject}";
inline constexpr std::string_view kUnknownNodeInLinkType = "UnknownNodeReference: {subject}[{link}]";
inline constexpr std::string_view kSelfLoopMessage = "Self-loop detected in link '{subject}'";
inline constexpr std::string_view kSelfLoopType = "SelfLoop: {subject}";
inline constexpr std::string_view kInvalidDistanceMessage =
    "Invalid distance {value} km for link '{subject}' (must be > 0)";
inline constexpr std::string_view kInvalidDistanceType = "InvalidDistance: {value} km for link '{subject}'";
inline constexpr std::string_view kInvalidFidelityMessage =
    "Invalid fidelity {value} for link '{subject}' (must be 0 < x <= 1)";
inline constexpr std::string_view kInvalidFidelityType = "InvalidFidelity: {value} for link '{subject}'";
inline constexpr std::string_view kInvalidRateMessage =
    "Invalid generation rate {value} Hz for link '{subject}' (must be > 0)";
inline constexpr std::string_view kInvalidRateType = "InvalidGenerationRate: {value} Hz for link '{subject}'";
inline constexpr std::string_view kDisconnectedMessage = "Graph is disconnected with {components} components";
inline constexpr std::string_view kDisconnectedType = "GraphDisconnected: {components} components";
inline constexpr std::string_view kIssuePathSuffix = " [{path}]";
// Topology snapshots.
inline constexpr std::string_view kNoTopologyToSave = "No network topology to save";
inline constexpr std::string_view kTopologyWriteFailedPrefix = "Failed to write topology file: ";
inline constexpr std::string_view kTopologyReadFailedPrefix = "Failed to read topology file: ";
inline constexpr std::string_view kTopologyParseFailedPrefix = "Failed to parse topology JSON: ";
inline constexpr std::string_view kSnapshotExportName = "exported_topology";
inline constexpr std::string_view kSnapshotVersion = "1.0";

// ---- writing JSON records ----
// A real that JSON has no form for, found in a member of a record being
// written; `value` is "NaN", "inf" or "-inf".
inline constexpr std::string_view kNonFiniteMember =
    "cannot write {record} member `{member}`: {value} is not a finite number";
inline std::string non_finite_member(std::string_view record, std::string_view member, std::string_view value) {
    return fill_template(kNonFiniteMember, {{"record", record}, {"member", member}, {"value", value}});
}

}  // namespace vorn::msg

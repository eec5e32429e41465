// Every fixed text that the simulation core reports, in one place. Texts that
// need values are built by the small functions here, on the failure path only.
// The Python-facing conversion and arity texts live in python_bridge/messages.h.
#pragma once

#include <string>
#include <string_view>

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
inline std::string invalid_thread_count(std::string_view value) {
    std::string text = "VORN_NUM_THREADS must be a whole number of threads from 1 to 1024, got '";
    text += value;
    text += '\'';
    return text;
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

inline std::string unknown_comparison_topology(std::string_view name) {
    std::string text = "Unknown topology in endpoints: '";
    text.append(name);
    text += "'. Supported: fiber_only, telecom_backbone, repeater_chain, hybrid_satellite_fiber, hybrid";
    return text;
}

// `role` is "Source" or "Target"; `node_list` is already in list notation.
inline std::string comparison_node_missing(std::string_view role, std::string_view node, std::string_view topology,
                                           std::string_view node_list) {
    std::string text(role);
    text += " node '";
    text.append(node);
    text += "' not found in topology '";
    text.append(topology);
    text += "'. Available nodes: ";
    text.append(node_list);
    return text;
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

inline std::string json_missing_field(std::string_view name) {
    std::string text = "missing field `";
    text.append(name);
    text += '`';
    return text;
}

inline std::string json_duplicate_field(std::string_view name) {
    std::string text = "duplicate field `";
    text.append(name);
    text += '`';
    return text;
}

inline std::string json_invalid_type(std::string_view found, std::string_view wanted) {
    std::string text = "invalid type: ";
    text.append(found);
    text += ", expected ";
    text.append(wanted);
    return text;
}

inline std::string json_invalid_value(std::string_view found, std::string_view wanted) {
    std::string text = "invalid value: ";
    text.append(found);
    text += ", expected ";
    text.append(wanted);
    return text;
}

// "invalid length 2, expected struct VornLink with 8 elements"
inline std::string json_invalid_length(std::size_t length, std::string_view record, std::size_t members) {
    std::string text = "invalid length ";
    text += std::to_string(length);
    text += ", expected struct ";
    text.append(record);
    text += " with ";
    text += std::to_string(members);
    text += members == 1 ? " element" : " elements";
    return text;
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
// as the pieces around the values.
inline constexpr std::string_view kDuplicateNodeIdMessage = "Duplicate node ID: ";
inline constexpr std::string_view kDuplicateNodeIdType = "DuplicateNodeId: ";
inline constexpr std::string_view kUnknownNodeMessage = "Unknown node reference '";
inline constexpr std::string_view kUnknownNodeInLinkMessage = "' in link '";
inline constexpr std::string_view kUnknownNodeType = "UnknownNodeReference: ";
inline constexpr std::string_view kSelfLoopMessage = "Self-loop detected in link '";
inline constexpr std::string_view kSelfLoopType = "SelfLoop: ";
inline constexpr std::string_view kInvalidDistanceMessage = "Invalid distance ";
inline constexpr std::string_view kInvalidDistanceType = "InvalidDistance: ";
inline constexpr std::string_view kInvalidDistanceTail = " km for link '";
inline constexpr std::string_view kInvalidFidelityMessage = "Invalid fidelity ";
inline constexpr std::string_view kInvalidFidelityType = "InvalidFidelity: ";
inline constexpr std::string_view kInvalidFidelityTail = " for link '";
inline constexpr std::string_view kInvalidRateMessage = "Invalid generation rate ";
inline constexpr std::string_view kInvalidRateType = "InvalidGenerationRate: ";
inline constexpr std::string_view kInvalidRateTail = " Hz for link '";
inline constexpr std::string_view kMustBePositive = "' (must be > 0)";
inline constexpr std::string_view kFidelityRange = "' (must be 0 < x <= 1)";
inline constexpr std::string_view kDisconnectedMessage = "Graph is disconnected with ";
inline constexpr std::string_view kDisconnectedType = "GraphDisconnected: ";
inline constexpr std::string_view kComponentsTail = " components";
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
inline std::string non_finite_member(std::string_view record, std::string_view member, std::string_view value) {
    std::string text = "cannot write ";
    text.append(record).append(" member `").append(member).append("`: ");
    text.append(value).append(" is not a finite number");
    return text;
}

}  // namespace vorn::msg

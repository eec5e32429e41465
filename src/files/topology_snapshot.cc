#include "files/topology_snapshot.h"

#include "formats/json_error.h"
#include "formats/non_finite_number.h"
#include "common/errors.h"
#include "common/messages.h"
#include "files/file_io.h"
#include "files/snapshot_json_reader.h"
#include "files/snapshot_json_writer.h"

namespace vorn {

namespace {

[[noreturn]] void fail(std::string_view prefix, std::string_view detail) {
    std::string text(prefix);
    text.append(detail);
    throw OperationError(text);
}

}  // namespace

TopologySnapshot snapshot_from_engine(const Engine& engine) {
    const NetworkGraph* graph = engine.graph();
    if (graph == nullptr) throw OperationError(std::string(msg::kNoTopologyToSave));
    TopologySnapshot snapshot;
    snapshot.metadata = {std::string(msg::kSnapshotExportName), std::string(msg::kSnapshotVersion)};
    snapshot.nodes.reserve(graph->nodes.size());
    for (const NodeEntry& entry : graph->nodes.entries())
        snapshot.nodes.push_back({entry.id, entry.memory_lifetime_t2});
    snapshot.links.reserve(graph->links.size());
    for (const GraphLink& link : graph->links) {
        snapshot.links.push_back({link.from_node, link.to, link.distance_km, link.base_fidelity,
                                  link.generation_rate_hz, link.link_type, std::nullopt});
    }
    const double factor = engine.config().baseline_purify_factor;
    snapshot.config = {10.0 * factor, factor};
    return snapshot;
}

void save_topology(const Engine& engine, std::string_view path, const StopCheck& stop) {
    const TopologySnapshot snapshot = snapshot_from_engine(engine);
    std::string text;
    try {
        text = snapshot_json_text(snapshot, stop);
    } catch (const NonFiniteMemberError& error) {
        fail(msg::kTopologyWriteFailedPrefix, error.what());
    }
    try {
        write_bytes_file(path, text, stop);
    } catch (const FileAccessError& error) {
        fail(msg::kTopologyWriteFailedPrefix, error.what());
    }
}

TopologySnapshot read_topology(std::string_view path, const StopCheck& stop) {
    std::string text;
    try {
        text = read_text_file(path, stop);
    } catch (const FileAccessError& error) {
        fail(msg::kTopologyReadFailedPrefix, error.what());
    }
    try {
        return parse_snapshot_text(text, stop);
    } catch (const JsonError& error) {
        fail(msg::kTopologyParseFailedPrefix, error.what());
    }
}

void load_topology(Engine& engine, std::string_view path, const StopCheck& stop) {
    const TopologySnapshot snapshot = read_topology(path, stop);
    // Built completely before it replaces the engine's previous network.
    engine.install(build_graph(snapshot.nodes, snapshot.links, stop));
}

}  // namespace vorn

// A topology snapshot: an engine's network (nodes and links) with a name, a
// version and two physical constants, as saved to and loaded from a small
// JSON document.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "network/network_model.h"

namespace vorn {

struct TopologyMetadata {
    std::string name;
    std::string version;
};

struct TopologyConfig {
    double alpha_loss = 0.0;
    double gamma_swapping = 0.0;
};

struct TopologySnapshot {
    TopologyMetadata metadata;
    std::vector<NodeDefinition> nodes;
    std::vector<LinkDefinition> links;
    TopologyConfig config;
};

// The snapshot of an engine's network: name "exported_topology", version
// "1.0", nodes in node-table order, links in order with their stored link
// type and no satellite conditions, alphaLoss = 10 x and gammaSwapping = 1 x
// the baseline purify factor. Throws OperationError "No network topology to
// save" when the engine has no network.
TopologySnapshot snapshot_from_engine(const Engine& engine);

// Writes the engine's snapshot to the file, replacing it whole (a failure
// leaves any previous file intact). Throws OperationError: "No network
// topology to save" or "Failed to write topology file: " and the writer's
// text for a NaN or infinity in a real member (in both cases no file is
// touched), or that prefix and the system text.
// A stop (Stopped) leaves any previous file intact.
void save_topology(const Engine& engine, std::string_view path, const StopCheck& stop = never_stop());

// Reads and parses a snapshot file. Throws OperationError "Failed to read
// topology file: ..." or "Failed to parse topology JSON: ...".
TopologySnapshot read_topology(std::string_view path, const StopCheck& stop = never_stop());

// Reads a snapshot file (as read_topology) and installs its nodes and links as
// the engine's new network; metadata and config are not used. On any failure
// the engine keeps its previous network.
void load_topology(Engine& engine, std::string_view path, const StopCheck& stop = never_stop());

}  // namespace vorn

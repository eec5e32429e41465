// From network-file records to the engine: node and link records, the engine
// configuration a file implies, and engines built from files.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "formats/vorn_records.h"
#include "common/stop_check.h"
#include "engine/engine.h"
#include "network/network_model.h"

namespace vorn {

// memory_lifetime_t2 = memory_lifetime_ms / 1000, or 1.0 when not given.
// Capacity and node kind are dropped. List order is kept.
std::vector<NodeDefinition> engine_nodes_from_vorn(const std::vector<VornNode>& nodes);

// Endpoints and the three numbers unchanged; the file's kind (Fiber when not
// given); satellite conditions from the satellite block. The link id is dropped.
std::vector<LinkDefinition> engine_links_from_vorn(const std::vector<VornLink>& links);

// baseline purify factor alpha_loss / 10 (0.22 for a config without
// alpha_loss, 0.12 without config), speed 200.0, cutoff max_attempts x 50.0
// (else 5000.0), step 0.1.
EngineConfig engine_config_from_vorn(const std::optional<VornConfig>& config);

// Replaces the engine's network with the file's nodes and links. Nothing is
// checked and the engine's configuration stays as it is. A stop (Stopped)
// leaves the engine's previous network.
void define_network_from_vorn(Engine& engine, const VornFile& file, const StopCheck& stop = never_stop());

// A new engine with the configuration derived from the file and its network.
Engine engine_from_vorn_record(const VornFile& file, const StopCheck& stop = never_stop());

// load_file (so the file is read, parsed, version-checked and validated),
// then engine_from_vorn_record. Throws LoadError; callers put
// failed_to_load_message(path, error) in front.
Engine engine_from_vorn_file(std::string_view path, const StopCheck& stop = never_stop());

}  // namespace vorn

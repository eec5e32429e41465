// Fuzz target for the topology snapshot reader. Any input must either fail
// with a JsonError or read into a snapshot whose written text reads back to
// an equal snapshot and writes the same bytes again. Crashes, hangs,
// out-of-bounds reads, undefined behaviour and any other exception are
// findings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/json_error.h"
#include "files/snapshot_json_reader.h"
#include "files/snapshot_json_writer.h"
#include "files/topology_snapshot.h"
#include "round_trip.h"

namespace {

// The snapshot records carry no equality of their own; every member counts.
bool same(const vorn::NodeDefinition& a, const vorn::NodeDefinition& b) {
    return a.id == b.id && a.memory_lifetime_t2 == b.memory_lifetime_t2;
}

bool same(const vorn::SatelliteConditions& a, const vorn::SatelliteConditions& b) {
    return a.visibility == b.visibility && a.weather_factor == b.weather_factor;
}

bool same(const vorn::LinkDefinition& a, const vorn::LinkDefinition& b) {
    if (a.satellite_conditions.has_value() != b.satellite_conditions.has_value()) return false;
    if (a.satellite_conditions && !same(*a.satellite_conditions, *b.satellite_conditions)) return false;
    return a.from_node == b.from_node && a.to == b.to && a.distance_km == b.distance_km &&
           a.base_fidelity == b.base_fidelity && a.generation_rate_hz == b.generation_rate_hz &&
           a.link_type == b.link_type;
}

template <class Record>
bool same(const std::vector<Record>& a, const std::vector<Record>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!same(a[i], b[i])) return false;
    }
    return true;
}

bool same(const vorn::TopologySnapshot& a, const vorn::TopologySnapshot& b) {
    return a.metadata.name == b.metadata.name && a.metadata.version == b.metadata.version && same(a.nodes, b.nodes) &&
           same(a.links, b.links) && a.config.alpha_loss == b.config.alpha_loss &&
           a.config.gamma_swapping == b.config.gamma_swapping;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fuzz::check_round_trip(
        text, "snapshot", [](std::string_view t) { return vorn::parse_snapshot_text(t); },
        [](const vorn::TopologySnapshot& s) { return vorn::snapshot_json_text(s); },
        [](const auto& a, const auto& b) { return same(a, b); });
    return 0;
}

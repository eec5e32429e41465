#include "topologies/builtin_topologies.h"

#include <array>
#include <string>

#include "common/errors.h"
#include "common/messages.h"

namespace vorn {

namespace {

struct NodeRow {
    const char* id;
    double memory_lifetime_t2;
};

struct LinkRow {
    const char* from_node;
    const char* to;
    double distance_km;
    double base_fidelity;
    double generation_rate_hz;
    LinkType link_type;
    std::optional<SatelliteConditions> satellite_conditions;
};

constexpr NodeRow kBackboneNodes[] = {
    {"A", 120.0}, {"B", 150.0}, {"C", 200.0}, {"D", 200.0}, {"E", 250.0}, {"F", 180.0},
};

const LinkRow kBackboneLinks[] = {
    {"A", "B", 5.0, 0.97, 2000.0, LinkType::Fiber, std::nullopt},
    {"B", "C", 80.0, 0.93, 1200.0, LinkType::Fiber, std::nullopt},
    {"C", "D", 600.0, 0.88, 600.0, LinkType::Fiber, std::nullopt},
    {"D", "E", 5500.0, 0.75, 150.0, LinkType::Fiber, std::nullopt},
    {"C", "F", 900.0, 0.91, 500.0, LinkType::Fiber, std::nullopt},
    {"F", "E", 4800.0, 0.8, 200.0, LinkType::Fiber, std::nullopt},
    {"B", "F", 1200.0, 0.85, 400.0, LinkType::Fiber, std::nullopt},
};

constexpr NodeRow kHybridNodes[] = {
    {"Toronto", 150.0},
    {"Montreal", 180.0},
    {"London", 220.0},
    {"SAT-1", 300.0},
};

const LinkRow kHybridLinks[] = {
    {"Toronto", "Montreal", 500.0, 0.9, 1000.0, LinkType::Fiber, std::nullopt},
    {"Montreal", "London", 5500.0, 0.75, 200.0, LinkType::Fiber, std::nullopt},
    {"Toronto", "SAT-1", 1000.0, 0.98, 50.0, LinkType::Satellite, SatelliteConditions{0.95, 0.98}},
    {"SAT-1", "London", 6000.0, 0.97, 50.0, LinkType::Satellite, SatelliteConditions{0.85, 0.9}},
};

constexpr double kChainMemoryT2 = 150.0;
constexpr double kChainDistanceKm = 100.0;
constexpr double kChainFidelity = 0.92;
constexpr double kChainRateHz = 800.0;

template <std::size_t N, std::size_t M>
NetworkTopologyPayload from_tables(const NodeRow (&nodes)[N], const LinkRow (&links)[M]) {
    NetworkTopologyPayload payload;
    payload.nodes.reserve(N);
    for (const NodeRow& row : nodes) payload.nodes.push_back({row.id, row.memory_lifetime_t2});
    payload.links.reserve(M);
    for (const LinkRow& row : links) {
        payload.links.push_back({row.from_node, row.to, row.distance_km, row.base_fidelity, row.generation_rate_hz,
                                 row.link_type, row.satellite_conditions});
    }
    return payload;
}

NetworkTopologyPayload library_repeater_chain() { return repeater_chain(kLibraryRepeaterChainNodes); }

struct NamedTopology {
    std::string_view name;
    NetworkTopologyPayload (*build)();
    bool offered_by_generate;  // the two aliases are known to the comparison only
};

constexpr std::array<NamedTopology, 5> kNameTable{{
    {"fiber_only", telecom_backbone, false},
    {"telecom_backbone", telecom_backbone, true},
    {"repeater_chain", library_repeater_chain, true},
    {"hybrid_satellite_fiber", hybrid_satellite_fiber, true},
    {"hybrid", hybrid_satellite_fiber, false},
}};

const NamedTopology* find_named(std::string_view name) {
    for (const NamedTopology& entry : kNameTable) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace

NetworkTopologyPayload telecom_backbone() { return from_tables(kBackboneNodes, kBackboneLinks); }

NetworkTopologyPayload hybrid_satellite_fiber() { return from_tables(kHybridNodes, kHybridLinks); }

NetworkTopologyPayload repeater_chain(std::size_t node_count) {
    NetworkTopologyPayload payload;
    payload.nodes.reserve(node_count);
    for (std::size_t i = 0; i < node_count; ++i) {
        std::string id = "N";
        id += std::to_string(i);
        payload.nodes.push_back({std::move(id), kChainMemoryT2});
    }
    if (node_count > 1) payload.links.reserve(node_count - 1);
    for (std::size_t i = 0; i + 1 < node_count; ++i) {
        payload.links.push_back({payload.nodes[i].id, payload.nodes[i + 1].id, kChainDistanceKm, kChainFidelity,
                                 kChainRateHz, LinkType::Fiber, std::nullopt});
    }
    return payload;
}

NetworkTopologyPayload generate_topology(std::string_view name) {
    const NamedTopology* entry = find_named(name);
    if (entry == nullptr || !entry->offered_by_generate) throw ValueError(std::string(msg::kInvalidTopologyName));
    return entry->build();
}

std::optional<NetworkTopologyPayload> library_topology(std::string_view name) {
    const NamedTopology* entry = find_named(name);
    if (entry == nullptr) return std::nullopt;
    return entry->build();
}

bool is_library_topology(std::string_view name) { return find_named(name) != nullptr; }

}  // namespace vorn

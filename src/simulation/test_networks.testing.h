// Small random networks and requests for the unit tests of the request
// simulation and the ensemble (test code only; nothing in the library uses it).
#pragma once

#include <cstring>
#include <iterator>
#include <optional>
#include <random>
#include <string>

#include "common/same_real.testing.h"
#include "network/network_graph.h"
#include "network/network_model.h"
#include "simulation/request.h"

namespace vorn::test_support {

template <class Table>
auto pick(std::mt19937_64& rng, const Table& table) {
    return table[rng() % std::size(table)];
}

// Up to five named nodes (some without entry) and two to nine links with
// distances, fidelities and rates from small tables, so that ties, parallel
// links, self-links and both orientations all occur.
inline NetworkGraph random_network(std::mt19937_64& rng) {
    static const char* const names[] = {"N0", "N1", "N2", "N3", "N4"};
    static const double distances[] = {0.0, 5.0, 50.0, 100.0, 200.0, 1000.0};
    static const double fidelities[] = {0.5, 0.7, 0.85, 0.9, 0.95, 0.99, 1.0};
    static const double rates[] = {10.0, 100.0, 800.0};
    NetworkGraph graph;
    for (const char* id : names) {
        if (rng() % 6 != 0) graph.nodes.insert({id, 1.0});
    }
    const int links = 2 + static_cast<int>(rng() % 8);
    for (int i = 0; i < links; ++i) {
        graph.links.push_back({pick(rng, names), pick(rng, names), pick(rng, distances), pick(rng, fidelities),
                               pick(rng, rates), LinkType::Fiber});
    }
    return graph;
}

inline EngineConfig random_config(std::mt19937_64& rng) {
    static const double betas[] = {0.022, 0.12, 0.0};
    static const double speeds[] = {200.0, 200.0, 200.0, 0.5};
    static const double cutoffs[] = {5000.0, 5000.0, 12.0};
    return {pick(rng, betas), pick(rng, speeds), pick(rng, cutoffs), 0.1};
}

inline EntanglementRequest random_request(std::mt19937_64& rng) {
    static const char* const names[] = {"N0", "N1", "N2", "N3", "N4"};
    static const double targets[] = {0.3, 0.6, 0.8, 0.9, 0.95, 0.99, 1.0};
    // 0.85 and 3.35 are clock values a round can end on exactly.
    static const double budgets[] = {0.0, 0.85, 2.0, 3.35, 10.0, 50.0, 500.0};
    static const std::optional<StrategyType> strategies[] = {
        std::nullopt, StrategyType::LowestLatency, StrategyType::HighestFidelity, StrategyType::HighestSuccess};
    // Mostly two different endpoints; now and then a request to itself.
    const std::size_t from = rng() % std::size(names);
    const std::size_t to = rng() % 10 == 0 ? from : (from + 1 + rng() % (std::size(names) - 1)) % std::size(names);
    return {names[from], names[to], pick(rng, targets), pick(rng, budgets), pick(rng, strategies)};
}

}  // namespace vorn::test_support

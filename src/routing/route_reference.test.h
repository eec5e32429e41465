// The exhaustive reference route search for the routing tests: one frame
// per push, each with its own copy of the path, candidates checked hop by
// hop, then scored in order with the running-best rule.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/same_real.testing.h"
#include "network/network_graph.h"
#include "network/test_graphs.testing.h"

namespace vorn::route_reference {

using Path = std::vector<std::string>;

using test_support::link;
using test_support::make_graph;

using test_support::same_real;

inline bool joined(const NetworkGraph& g, const std::string& a, const std::string& b) {
    for (const auto& l : g.links) {
        if ((l.from_node == a && l.to == b) || (l.from_node == b && l.to == a)) return true;
    }
    return false;
}

inline std::vector<Path> reference_candidates(const NetworkGraph& g, const std::string& from, const std::string& to) {
    std::vector<Path> candidates;
    if (g.nodes.empty() || !g.nodes.contains(from) || !g.nodes.contains(to)) return candidates;
    std::vector<std::pair<std::string, Path>> stack{{from, {from}}};
    while (!stack.empty()) {
        auto [current, path] = std::move(stack.back());
        stack.pop_back();
        if (current == to) {
            std::size_t kept = 0;
            for (std::size_t i = 1; i < path.size(); ++i) kept += joined(g, path[i - 1], path[i]) ? 1 : 0;
            if (kept == path.size() - 1) candidates.push_back(path);
            continue;
        }
        for (const auto& l : g.links) {
            const std::string& next = l.from_node == current ? l.to : l.from_node;
            if (next == current || std::find(path.begin(), path.end(), next) != path.end()) continue;
            Path extended = path;
            extended.push_back(next);
            stack.emplace_back(next, std::move(extended));
        }
    }
    return candidates;
}

inline double reference_score(const NetworkGraph& g, const Path& path, int code) {
    double score = code == 1 ? 1.0 : 0.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        double value = 0.0;
        for (const auto& l : g.links) {
            if (l.to == path[i] || l.from_node == path[i]) {
                value = code == 0   ? l.distance_km
                        : code == 1 ? l.base_fidelity
                                    : l.base_fidelity * l.generation_rate_hz;
                break;
            }
        }
        score = code == 1 ? score * value : score + value;
    }
    return score;
}

inline std::optional<std::pair<Path, double>> reference_route(const NetworkGraph& g,
                                                              const std::vector<Path>& candidates, int code) {
    if (candidates.empty()) return std::nullopt;
    std::size_t best = 0;
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        const double b = reference_score(g, candidates[best], code);
        const double c = reference_score(g, candidates[i], code);
        const bool replace = code == 0 ? b > c : !(b > c);
        if (replace) best = i;
    }
    const Path& path = candidates[best];
    double fidelity = 1.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        for (const auto& l : g.links) {
            if ((l.from_node == path[i - 1] && l.to == path[i]) || (l.to == path[i - 1] && l.from_node == path[i])) {
                fidelity *= l.base_fidelity;
                break;
            }
        }
    }
    return std::make_pair(path, fidelity);
}

}  // namespace vorn::route_reference

#include "routing/search_graph.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

namespace vorn {

SearchGraph::SearchGraph(const NetworkGraph& graph, std::string_view from_node, std::string_view to) {
    const std::size_t link_count = graph.links.size();
    std::unordered_map<std::string_view, std::uint32_t> ids;
    ids.reserve(2 * link_count + 2);
    auto intern = [&](std::string_view id) {
        auto [it, inserted] = ids.try_emplace(id, static_cast<std::uint32_t>(names_.size()));
        if (inserted) names_.push_back(id);
        return it->second;
    };
    from_ = intern(from_node);
    to_ = intern(to);
    link_from_.reserve(link_count);
    link_to_.reserve(link_count);
    for (const GraphLink& link : graph.links) {
        link_from_.push_back(intern(link.from_node));
        link_to_.push_back(intern(link.to));
    }

    const std::size_t n = names_.size();
    first_touching_.assign(n, kNoLink);
    joined_.resize(n);
    links_from_.resize(n);
    for (std::uint32_t l = 0; l < link_count; ++l) {
        const std::uint32_t a = link_from_[l], b = link_to_[l];
        if (first_touching_[b] == kNoLink) first_touching_[b] = l;
        if (first_touching_[a] == kNoLink) first_touching_[a] = l;
        links_from_[a].push_back(l);
        if (a != b) {
            joined_[a].push_back(b);
            joined_[b].push_back(a);
        }
    }
    for (auto& list : joined_) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
    }
    ranges_.resize(n);
    built_.assign(n, false);
    slot_stamp_.assign(n, 0);
    slot_of_.assign(n, 0);
}

SearchGraph::StepRange SearchGraph::steps(std::uint32_t node) {
    if (!built_[node]) build_steps(node);
    return ranges_[node];
}

void SearchGraph::build_steps(std::uint32_t node) {
    // The links that give a usable step from `node`: its own links (to their
    // far end) and every link whose from_node is joined to it.
    gathered_.clear();
    gathered_.insert(gathered_.end(), links_from_[node].begin(), links_from_[node].end());
    for (std::uint32_t other : joined_[node]) {
        gathered_.insert(gathered_.end(), links_from_[other].begin(), links_from_[other].end());
    }
    std::sort(gathered_.begin(), gathered_.end(), std::greater<>());

    ++stamp_;
    StepRange range{static_cast<std::uint32_t>(steps_.size()), 0, 0};
    for (std::uint32_t l : gathered_) {
        const std::uint32_t neighbour = link_from_[l] == node ? link_to_[l] : link_from_[l];
        if (neighbour == node) continue;  // a self-link
        if (slot_stamp_[neighbour] != stamp_) {
            slot_stamp_[neighbour] = stamp_;
            slot_of_[neighbour] = range.distinct++;
        }
        steps_.push_back({neighbour, slot_of_[neighbour]});
        ++range.count;
    }
    ranges_[node] = range;
    built_[node] = true;
}

std::uint32_t SearchGraph::first_link_joining(std::uint32_t a, std::uint32_t b) const {
    for (std::uint32_t l = 0; l < link_from_.size(); ++l) {
        if ((link_from_[l] == a && link_to_[l] == b) || (link_from_[l] == b && link_to_[l] == a)) return l;
    }
    return kNoLink;
}

}  // namespace vorn

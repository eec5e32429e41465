#include "routing/search_graph.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

namespace vorn {

SearchGraph::SearchGraph(const NetworkGraph& graph, std::string_view from_node, std::string_view to) {
    const std::size_t link_count = graph.links.size();
    std::unordered_map<std::string_view, std::uint32_t> ids;
    ids.reserve(2 * link_count + 2);
    names_.reserve(2 * link_count + 2);
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
    joined_.start.assign(n + 1, 0);
    from_start_.assign(n + 1, 0);
    for (std::uint32_t l = 0; l < link_count; ++l) {
        const std::uint32_t a = link_from_[l], b = link_to_[l];
        if (first_touching_[b] == kNoLink) first_touching_[b] = l;
        if (first_touching_[a] == kNoLink) first_touching_[a] = l;
        ++from_start_[a + 1];
        if (a != b) {
            ++joined_.start[a + 1];
            ++joined_.start[b + 1];
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        joined_.start[i + 1] += joined_.start[i];
        from_start_[i + 1] += from_start_[i];
    }
    joined_.list.resize(joined_.start[n]);
    links_from_.resize(link_count);
    std::vector<std::uint32_t> joined_fill(joined_.start.begin(), joined_.start.end() - 1);
    std::vector<std::uint32_t> from_fill(from_start_.begin(), from_start_.end() - 1);
    for (std::uint32_t l = 0; l < link_count; ++l) {
        const std::uint32_t a = link_from_[l], b = link_to_[l];
        links_from_[from_fill[a]++] = l;
        if (a != b) {
            joined_.list[joined_fill[a]++] = b;
            joined_.list[joined_fill[b]++] = a;
        }
    }
    // Sort and deduplicate each node's joined list, compacting in place.
    std::uint32_t write = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto begin = joined_.list.begin() + joined_.start[i], end = joined_.list.begin() + joined_.start[i + 1];
        std::sort(begin, end);
        const auto last = std::unique(begin, end);
        joined_.start[i] = write;
        for (auto it = begin; it != last; ++it) joined_.list[write++] = *it;
    }
    joined_.start[n] = write;
    joined_.list.resize(write);

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
    const auto own = links_from(node);
    gathered_.insert(gathered_.end(), own.begin(), own.end());
    for (std::uint32_t other : joined(node)) {
        const auto theirs = links_from(other);
        gathered_.insert(gathered_.end(), theirs.begin(), theirs.end());
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
    std::uint32_t first = kNoLink;
    for (std::uint32_t l : links_from(a)) {
        if (link_to_[l] == b) {
            first = l;
            break;
        }
    }
    for (std::uint32_t l : links_from(b)) {
        if (l >= first) break;
        if (link_to_[l] == a) return l;
    }
    return first;
}

}  // namespace vorn

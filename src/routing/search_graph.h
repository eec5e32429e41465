// The link list of a network seen by one route search: node ids interned to
// dense indices, the "joined by a link" adjacency, and for each node the
// neighbours that the search steps to, in the order in which it expands them.
//
// The search treats link l as leading from node c to l.to when l.from_node is
// c, and to l.from_node otherwise (so links that do not touch c lead to their
// from_node). It never steps to c itself, and a step to a node that no link
// joins to c can never become part of a route, so such steps are left out.
// What remains is, for every link in reverse list order, the neighbour it
// gives, repeats included: repeats change which of two equal routes wins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "network/network_graph.h"
#include "routing/adjacency.h"

namespace vorn {

class SearchGraph {
public:
    static constexpr std::uint32_t kNoLink = UINT32_MAX;

    struct Step {
        std::uint32_t neighbour;
        // Index of the neighbour among the node's distinct neighbours, counted
        // in step order: a step whose slot was seen before repeats that step.
        std::uint32_t slot;
    };
    struct StepRange {
        std::uint32_t offset;
        std::uint32_t count;
        std::uint32_t distinct;
    };

    // The views refer to the graph's ids and to the two arguments; all three
    // must outlive the SearchGraph.
    SearchGraph(const NetworkGraph& graph, std::string_view from_node, std::string_view to);

    std::uint32_t from() const { return from_; }
    std::uint32_t to() const { return to_; }
    std::size_t node_count() const { return names_.size(); }
    std::size_t link_count() const { return link_from_.size(); }
    std::string_view name(std::uint32_t node) const { return names_[node]; }

    std::uint32_t link_from(std::uint32_t link) const { return link_from_[link]; }
    std::uint32_t link_to(std::uint32_t link) const { return link_to_[link]; }
    // The distinct nodes some link joins to `node` (itself excluded), ascending.
    std::span<const std::uint32_t> joined(std::uint32_t node) const { return joined_.of(node); }
    const Adjacency& joined_lists() const { return joined_; }
    // The links whose from_node is `node`, in list order.
    std::span<const std::uint32_t> links_from(std::uint32_t node) const {
        return {links_from_.data() + from_start_[node], links_from_.data() + from_start_[node + 1]};
    }

    // The steps of `node`, computed on first request; read them with step().
    StepRange steps(std::uint32_t node);
    const Step& step(std::uint32_t index) const { return steps_[index]; }

    // The first link in list order that has `node` as either endpoint.
    std::uint32_t first_link_touching(std::uint32_t node) const { return first_touching_[node]; }
    // The first link in list order that joins a and b, in either orientation.
    std::uint32_t first_link_joining(std::uint32_t a, std::uint32_t b) const;

private:
    void build_steps(std::uint32_t node);

    std::vector<std::string_view> names_;
    std::vector<std::uint32_t> link_from_;
    std::vector<std::uint32_t> link_to_;
    std::vector<std::uint32_t> first_touching_;
    Adjacency joined_;
    // Node i's links are links_from_[from_start_[i], from_start_[i + 1]).
    std::vector<std::uint32_t> from_start_;
    std::vector<std::uint32_t> links_from_;
    std::vector<StepRange> ranges_;
    std::vector<bool> built_;
    std::vector<Step> steps_;
    // Scratch for build_steps, indexed by node.
    std::vector<std::uint32_t> slot_stamp_;
    std::vector<std::uint32_t> slot_of_;
    std::vector<std::uint32_t> gathered_;
    std::uint32_t stamp_ = 0;
    std::uint32_t from_ = 0;
    std::uint32_t to_ = 0;
};

}  // namespace vorn

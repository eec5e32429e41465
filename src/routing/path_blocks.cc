#include "routing/path_blocks.h"

#include <algorithm>

namespace vorn {
namespace {}

PathBlocks path_blocks(const Adjacency& joined, std::uint32_t from, std::uint32_t to, const StopCheck& stop) {
    const std::size_t n = joined.node_count();
    // Tarjan's blocks, depth first from `to` with an explicit stack. A node's
    // block is the one holding the tree edge to its parent; the parent that
    // heads a block belongs to it too.
    std::vector<std::uint32_t> order(n, kNoIndex), low(n), parent(n, kNoIndex), next_edge(n, 0), block(n, kNoIndex);
    std::vector<std::uint32_t> calls{to}, pending;
    std::uint32_t time = 0, blocks = 0;
    order[to] = low[to] = time++;
    while (!calls.empty()) {
        stop.poll();
        const std::uint32_t x = calls.back();
        const auto edges = joined.of(x);
        if (next_edge[x] < edges.size()) {
            const std::uint32_t y = edges[next_edge[x]++];
            if (order[y] == kNoIndex) {
                order[y] = low[y] = time++;
                parent[y] = x;
                calls.push_back(y);
                pending.push_back(y);
            } else if (y != parent[x]) {
                low[x] = std::min(low[x], order[y]);
            }
            continue;
        }
        calls.pop_back();
        const std::uint32_t p = parent[x];
        if (p == kNoIndex) continue;
        low[p] = std::min(low[p], low[x]);
        if (low[x] >= order[p]) {  // x's subtree closes a block headed by p
            std::uint32_t z;
            do {
                z = pending.back();
                pending.pop_back();
                block[z] = blocks;
            } while (z != x);
            ++blocks;
        }
    }

    PathBlocks result;
    if (order[from] == kNoIndex) return result;
    // The tree path from `from` up to `to` crosses the blocks in path order;
    // a node where the block changes is the cut node between two of them.
    std::vector<std::uint32_t> place(blocks, kNoIndex);
    for (std::uint32_t z = from; z != to; z = parent[z]) {
        if (place[block[z]] != kNoIndex) continue;
        place[block[z]] = static_cast<std::uint32_t>(result.entry.size());
        result.entry.push_back(z);
    }
    for (std::size_t i = 0; i + 1 < result.entry.size(); ++i) result.exit.push_back(result.entry[i + 1]);
    result.exit.push_back(to);

    // Each block's nodes: those whose parent edge lies in it, then its head.
    result.start.assign(result.count() + 1, 0);
    for (std::uint32_t x = 0; x < n; ++x) {
        if (block[x] != kNoIndex && place[block[x]] != kNoIndex) ++result.start[place[block[x]] + 1];
    }
    for (std::size_t i = 0; i < result.count(); ++i) result.start[i + 1] += result.start[i] + 1;
    result.nodes.resize(result.start.back());
    std::vector<std::uint32_t> fill(result.start.begin(), result.start.end() - 1);
    for (std::uint32_t x = 0; x < n; ++x) {
        if (block[x] != kNoIndex && place[block[x]] != kNoIndex) result.nodes[fill[place[block[x]]]++] = x;
    }
    for (std::size_t i = 0; i < result.count(); ++i) result.nodes[fill[i]++] = result.exit[i];
    return result;
}

}  // namespace vorn

#include "routing/route_search.h"

#include <algorithm>

#include "routing/hop_values.h"
#include "routing/pruned_route.h"
#include "routing/route_choice.h"
#include "routing/search_graph.h"

namespace vorn {
namespace {

bool endpoints_known(const NetworkGraph& graph, std::string_view from_node, std::string_view to) {
    return !graph.nodes.empty() && graph.nodes.contains(from_node) && graph.nodes.contains(to);
}

// Moves the paths a finished frame's summary refers to down to `mark` and
// drops everything else the frame stored.
template <class Choice>
void keep_only_referenced(Choice& choice, std::vector<std::uint32_t>& arena, std::uint32_t mark) {
    PathRef* refs[2];
    int count = 0;
    choice.visit_paths([&](PathRef& ref) { refs[count++] = &ref; });
    std::sort(refs, refs + count, [](const PathRef* a, const PathRef* b) { return a->offset < b->offset; });
    std::uint32_t write = mark;
    std::uint32_t previous_old = UINT32_MAX, previous_new = 0;
    for (int i = 0; i < count; ++i) {
        PathRef& ref = *refs[i];
        if (ref.offset == previous_old) {  // both references name one path
            ref.offset = previous_new;
            continue;
        }
        previous_old = ref.offset;
        std::copy(arena.begin() + ref.offset, arena.begin() + ref.offset + ref.length, arena.begin() + write);
        ref.offset = previous_new = write;
        write += ref.length;
    }
    arena.resize(write);
}

template <class Choice>
struct Frame {
    std::uint32_t node;
    std::uint32_t next;        // index of the next step to take
    std::uint32_t end;         // one past the node's last step
    std::uint32_t cache_base;  // this frame's per-slot summaries in the cache
    std::uint32_t new_slots;   // distinct neighbours met so far
    std::uint32_t arena_mark;  // arena size when the frame was entered
    double score;              // score of the path up to this node
    Choice summary;            // everything found below this frame so far
};

// Depth-first search in the search's exact expansion order, for values where
// no bound holds. A step that repeats an earlier step of the same frame would
// re-run an identical sub-search; its cached summary is replayed instead.
template <class Choice>
std::optional<std::vector<std::uint32_t>> choose_path(SearchGraph& search, const std::vector<double>& values,
                                                      bool multiply, const StopCheck& stop) {
    const std::uint32_t to = search.to();
    if (search.from() == to) return std::vector<std::uint32_t>{to};

    std::vector<Frame<Choice>> frames;
    frames.reserve(search.node_count());
    std::vector<std::uint32_t> path;
    path.reserve(search.node_count() + 1);
    std::vector<char> on_path(search.node_count(), 0);
    std::vector<Choice> cache;
    std::vector<std::uint32_t> arena;

    auto enter = [&](std::uint32_t node, double score) {
        const SearchGraph::StepRange range = search.steps(node);
        frames.push_back({node, range.offset, range.offset + range.count, static_cast<std::uint32_t>(cache.size()), 0,
                          static_cast<std::uint32_t>(arena.size()), score, Choice{}});
        cache.resize(cache.size() + range.distinct);
        path.push_back(node);
        on_path[node] = 1;
    };
    enter(search.from(), multiply ? 1.0 : 0.0);

    for (;;) {
        stop.poll();
        Frame<Choice>& frame = frames.back();
        if (frame.next < frame.end) {
            const SearchGraph::Step& step = search.step(frame.next++);
            if (step.slot < frame.new_slots) {
                frame.summary = Choice::then(frame.summary, cache[frame.cache_base + step.slot]);
                continue;
            }
            ++frame.new_slots;
            if (on_path[step.neighbour]) continue;  // its cache slot stays empty
            const double value = values[step.neighbour];
            const double score = multiply ? frame.score * value : frame.score + value;
            if (step.neighbour == to) {
                const PathRef ref{static_cast<std::uint32_t>(arena.size()),
                                  static_cast<std::uint32_t>(path.size() + 1)};
                arena.insert(arena.end(), path.begin(), path.end());
                arena.push_back(to);
                const Choice leaf = Choice::leaf(score, ref);
                cache[frame.cache_base + step.slot] = leaf;
                frame.summary = Choice::then(frame.summary, leaf);
                continue;
            }
            enter(step.neighbour, score);
            continue;
        }

        Choice finished = frame.summary;
        keep_only_referenced(finished, arena, frame.arena_mark);
        on_path[frame.node] = 0;
        cache.resize(frame.cache_base);
        frames.pop_back();
        path.pop_back();
        if (frames.empty()) {
            const std::optional<PathRef> chosen = finished.chosen();
            if (!chosen) return std::nullopt;
            return std::vector<std::uint32_t>(arena.begin() + chosen->offset,
                                              arena.begin() + chosen->offset + chosen->length);
        }
        Frame<Choice>& parent = frames.back();
        cache[parent.cache_base + parent.new_slots - 1] = finished;
        parent.summary = Choice::then(parent.summary, finished);
    }
}

}  // namespace

std::optional<Route> find_route(const NetworkGraph& graph, std::string_view from_node, std::string_view to,
                                RouteObjective objective, const StopCheck& stop) {
    stop.poll();
    if (!endpoints_known(graph, from_node, to)) return std::nullopt;
    SearchGraph search(graph, from_node, to);
    const std::vector<double> values = hop_values(graph, search, objective);
    std::optional<std::vector<std::uint32_t>> chosen;
    PrunedRoute pruned;
    if (search.from() != search.to()) pruned = pruned_route(search, values, objective, stop);
    if (pruned.applies) {
        chosen = std::move(pruned.path);
    } else {
        chosen = objective == RouteObjective::kLowestLatency
                     ? choose_path<LowestChoice>(search, values, false, stop)
                     : choose_path<HighestChoice>(search, values, objective == RouteObjective::kHighestFidelity, stop);
    }
    if (!chosen) return std::nullopt;

    Route route;
    route.path.reserve(chosen->size());
    for (std::uint32_t node : *chosen) route.path.emplace_back(search.name(node));
    for (std::size_t i = 1; i < chosen->size(); ++i) {
        const std::uint32_t l = search.first_link_joining((*chosen)[i - 1], (*chosen)[i]);
        // Every hop of a candidate is joined by a link; the guard keeps a
        // broken invariant from reading out of range.
        route.hop_links.push_back(l == SearchGraph::kNoLink ? Route::kNoLink : l);
        route.fidelity *= l == SearchGraph::kNoLink ? 0.0 : graph.links[l].base_fidelity;
    }
    return route;
}

std::vector<std::vector<std::string>> list_route_candidates(const NetworkGraph& graph, std::string_view from_node,
                                                            std::string_view to) {
    std::vector<std::vector<std::string>> candidates;
    if (!endpoints_known(graph, from_node, to)) return candidates;
    SearchGraph search(graph, from_node, to);
    std::vector<std::uint32_t> path{search.from()};
    auto emit = [&] {
        auto& candidate = candidates.emplace_back();
        for (std::uint32_t node : path) candidate.emplace_back(search.name(node));
    };
    if (search.from() == search.to()) {
        emit();
        return candidates;
    }
    std::vector<char> on_path(search.node_count(), 0);
    on_path[search.from()] = 1;
    std::vector<std::uint32_t> next{search.steps(search.from()).offset};
    while (!path.empty()) {
        const SearchGraph::StepRange range = search.steps(path.back());
        if (next.back() < range.offset + range.count) {
            const std::uint32_t neighbour = search.step(next.back()++).neighbour;
            if (on_path[neighbour]) continue;
            path.push_back(neighbour);
            if (neighbour == search.to()) {
                emit();
                path.pop_back();
                continue;
            }
            on_path[neighbour] = 1;
            next.push_back(search.steps(neighbour).offset);
        } else {
            on_path[path.back()] = 0;
            path.pop_back();
            next.pop_back();
        }
    }
    return candidates;
}

}  // namespace vorn

// Time per find_route call on the reference backbone and on denser graphs,
// where the candidate list (repeats included) grows far faster than the
// number of distinct paths, and on a long chain of blocks.
#include <chrono>
#include <cstdio>
#include <string>

#include "routing/route_search.h"
#include <gtest/gtest.h>

namespace {

vorn::NetworkGraph complete_graph(int n) {
    vorn::NetworkGraph graph;
    for (int i = 0; i < n; ++i) graph.nodes.insert({"N" + std::to_string(i), 1.0});
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            graph.links.push_back(
                {"N" + std::to_string(i), "N" + std::to_string(j), 10.0 + i + j, 0.9, 100.0, vorn::LinkType::Fiber});
        }
    }
    return graph;
}

vorn::NetworkGraph backbone() {
    vorn::NetworkGraph graph;
    for (const char* id : {"A", "B", "C", "D", "E", "F"}) graph.nodes.insert({id, 1.0});
    auto add = [&](const char* a, const char* b, double km, double f, double hz) {
        graph.links.push_back({a, b, km, f, hz, vorn::LinkType::Fiber});
    };
    add("A", "B", 5, 0.97, 2000);
    add("B", "C", 80, 0.93, 1200);
    add("C", "D", 600, 0.88, 600);
    add("D", "E", 5500, 0.75, 150);
    add("C", "F", 900, 0.91, 500);
    add("F", "E", 4800, 0.8, 200);
    add("B", "F", 1200, 0.85, 400);
    return graph;
}

vorn::NetworkGraph chain(int n) {
    vorn::NetworkGraph graph;
    for (int i = 0; i < n; ++i) graph.nodes.insert({"N" + std::to_string(i), 1.0});
    for (int i = 0; i + 1 < n; ++i) {
        graph.links.push_back({"N" + std::to_string(i), "N" + std::to_string(i + 1), 10.0 + i % 7, 0.9 + 0.01 * (i % 9),
                               100.0 + i % 13, vorn::LinkType::Fiber});
    }
    return graph;
}

void measure(const char* name, const vorn::NetworkGraph& graph, const std::string& from, const std::string& to) {
    for (std::uint8_t code : {0, 1, 2}) {
        int calls = 1;
        for (;;) {
            const auto start = std::chrono::steady_clock::now();
            std::size_t hops = 0;
            const vorn::RouteObjective objective = vorn::route_objective_of_code(code);
            for (int i = 0; i < calls; ++i) hops += vorn::find_route(graph, from, to, objective)->path.size();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (seconds >= 0.3) {
                std::printf("%-22s strategy %d: %12.2f us per find_route (%zu nodes in route)\n", name, code,
                            seconds / calls * 1e6, hops / static_cast<std::size_t>(calls));
                break;
            }
            calls *= 2;
        }
    }
}

}  // namespace

TEST(RouteSearchPerf, find_route_time_per_call) {
    measure("backbone A->E", backbone(), "A", "E");
    measure("complete K6 N0->N5", complete_graph(6), "N0", "N5");
    measure("complete K8 N0->N7", complete_graph(8), "N0", "N7");
    measure("complete K10 N0->N9", complete_graph(10), "N0", "N9");
    measure("complete K16 N0->N15", complete_graph(16), "N0", "N15");
    measure("chain of 100000", chain(100000), "N0", "N99999");
}

// Repeater chains for the unit tests of the physical model (test code only).
#pragma once

#include <string>

#include "network/network_model.h"
#include "simulation/request.h"

namespace vorn::test_support {

// Nodes N0 .. N<hops> with memories of t2_s seconds, joined in a line by
// fiber links of km kilometres, fidelity `fidelity` and `rate_hz` attempts/s.
inline NetworkTopologyPayload fiber_chain(int hops, double km, double fidelity, double rate_hz, double t2_s = 0.0) {
    NetworkTopologyPayload chain;
    for (int n = 0; n <= hops; ++n) chain.nodes.push_back({"N" + std::to_string(n), t2_s});
    for (int h = 0; h < hops; ++h) {
        chain.links.push_back({"N" + std::to_string(h), "N" + std::to_string(h + 1), km, fidelity, rate_hz,
                               LinkType::Fiber, std::nullopt});
    }
    return chain;
}

// From the first to the last node of a chain, no target, no time limit.
inline EntanglementRequest end_to_end(int hops, double max_latency_ms = 1e300) {
    return {"N0", "N" + std::to_string(hops), 0.0, max_latency_ms, std::nullopt};
}

}  // namespace vorn::test_support

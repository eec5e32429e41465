// Test support: a request runner that plays back prepared outcomes in order
// (repeating the last one) and records every request it receives.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "protocols/request_runner.h"

namespace vorn::test_support {

struct ScriptedRequests {
    std::vector<RequestOutcome> outcomes;
    std::vector<EntanglementRequest> seen;

    RequestRunner runner() {
        return [this](const Engine&, const EntanglementRequest& request) {
            seen.push_back(request);
            const std::size_t i = seen.size() - 1;
            return outcomes.at(i < outcomes.size() ? i : outcomes.size() - 1);
        };
    }
};

inline RequestOutcome scripted_success(double fidelity, double latency, std::vector<std::string> path = {}) {
    return {true, latency, fidelity, std::move(path)};
}

inline RequestOutcome scripted_failure(double latency = 0.0, double fidelity = 0.0) {
    return {false, latency, fidelity, {}};
}

}  // namespace vorn::test_support

// The single-request entry point that the protocol estimates call, as a
// replaceable function so that the protocol arithmetic can be exercised with
// scripted request outcomes.
#pragma once

#include <functional>

#include "engine/engine.h"
#include "simulation/request.h"

namespace vorn {

using RequestRunner = std::function<RequestOutcome(const Engine&, const EntanglementRequest&)>;

// The engine's own request path: every request simulated by run_request,
// polling `stop`, which must outlive the runner.
inline RequestRunner engine_requests(const StopCheck& stop) {
    return [&stop](const Engine& engine, const EntanglementRequest& request) {
        return run_request(engine, request, stop);
    };
}

}  // namespace vorn

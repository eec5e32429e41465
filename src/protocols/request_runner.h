// The single-request entry point that the protocol estimates call, as a
// replaceable function so that the protocol arithmetic can be exercised with
// scripted request outcomes.
#pragma once

#include <functional>

#include "engine/engine.h"
#include "simulation/request.h"

namespace vorn {

using RequestRunner = std::function<RequestOutcome(const Engine&, const EntanglementRequest&)>;

}  // namespace vorn

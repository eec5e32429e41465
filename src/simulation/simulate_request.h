// One entanglement request over a network graph: plan (route and early
// checks), then rounds; the outcome plus link-usage counts and drops left in
// the context and tallies.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/stop_check.h"
#include "network/network_graph.h"
#include "random/chacha12.h"
#include "simulation/request.h"
#include "random/thread_generator.h"

namespace vorn {

// Reads the context's configuration, adds the request's attempts to its link
// usage and leaves the failed-attempt count in `tallies.drops`. Generation
// draws come from `request_generator`, memory-loss draws from
// `loss_generator` (the thread generator for single requests). The route
// search and the rounds poll `stop`.
RequestOutcome simulate_request(const NetworkGraph& graph, RequestContext& context, RequestTallies& tallies,
                                const EntanglementRequest& request, ChaCha12Generator& request_generator,
                                ChaCha12Generator& loss_generator, const StopCheck& stop = never_stop());
RequestOutcome simulate_request(const NetworkGraph& graph, RequestContext& context, RequestTallies& tallies,
                                const EntanglementRequest& request, ChaCha12Generator& request_generator,
                                ThreadGenerator& loss_generator, const StopCheck& stop = never_stop());

// The outcome alone of a single request, whose counts are not kept: once its
// rounds are abandoned it ends without drawing them, at the clock where they
// would end (so unbounded limits end too). The outcome equals
// simulate_request's with the same generators.
RequestOutcome request_outcome(const NetworkGraph& graph, const EngineConfig& config,
                               const EntanglementRequest& request, ChaCha12Generator& request_generator,
                               ThreadGenerator& loss_generator, const StopCheck& stop = never_stop());

// Adds `attempts` to the usage count of every hop of `path`, keyed "a->b".
// Nothing is added (and no key created) for zero attempts.
void add_link_usage(std::map<std::string, std::uint64_t>& usage, const std::vector<std::string>& path,
                    std::uint64_t attempts);

}  // namespace vorn

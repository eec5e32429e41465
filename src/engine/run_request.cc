#include <string>

#include "common/errors.h"
#include "common/messages.h"
#include "engine/engine.h"
#include "simulation/simulate_request.h"

namespace vorn {

RequestOutcome run_request(const Engine& engine, const EntanglementRequest& request, const StopCheck& stop) {
    const NetworkGraph* graph = engine.graph();
    if (graph == nullptr) throw InternalFault(std::string(msg::kNoNetworkForRequest));
    // Every single request starts from the same all-zero-key stream.
    ChaCha12Generator request_generator(ChaCha12Generator::Key{});
    return request_outcome(*graph, engine.config(), request, request_generator, thread_generator(), stop);
}

}  // namespace vorn

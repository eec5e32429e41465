// The rounds of one request: generation on every hop, memory loss of the new
// pairs, abandon after failed attempts, swapping, purification and the
// decision, on a simulated clock, until the target is met or the latency
// budget or the time cutoff runs out.
#pragma once

#include <cstdint>

#include "common/stop_check.h"
#include "simulation/chacha12.h"
#include "simulation/request_plan.h"
#include "simulation/thread_generator.h"

namespace vorn {

struct RoundsResult {
    bool success = false;
    double latency_ms = 0.0;
    // The fidelity reached on success, 0.0 otherwise.
    double fidelity = 0.0;
    // Rounds run; every round makes one attempt on every hop.
    std::uint64_t rounds = 0;
};

// Runs the rounds of a plan that did not end early. Each attempt draws one
// uniform_closed01 from `request_generator` and succeeds below the hop's
// probability. `drops` counts failed attempts; while it is non-zero a round
// is abandoned, and it is only reset by a round that retries for fidelity,
// so after the first failed attempt every later round is abandoned. In a
// round that is not abandoned each hop's pair draws one uniform_range(0, 1)
// from `loss_generator` (taken as the integer it is made of), in hop order,
// and is lost below 0.1; abandoned
// rounds draw no loss, as their pairs are discarded anyway.
//
// The clock starts at `start_clock_ms` (0 for every request; tests start
// later to reach the far end of the clock's range). A round that would not
// advance the clock (past about 2^54 ms, adding the 2.5 ms back-off no longer
// changes a double) ends the request as out of time at that clock, so an
// unbounded budget and cutoff cannot make the loop run forever. `stop` is
// polled every few rounds.
template <class LossGenerator>
RoundsResult run_rounds(const RequestPlan& plan, std::uint64_t& drops, ChaCha12Generator& request_generator,
                        LossGenerator& loss_generator, const StopCheck& stop = never_stop(),
                        double start_clock_ms = 0.0);

extern template RoundsResult run_rounds(const RequestPlan&, std::uint64_t&, ChaCha12Generator&, ChaCha12Generator&,
                                        const StopCheck&, double);
extern template RoundsResult run_rounds(const RequestPlan&, std::uint64_t&, ChaCha12Generator&, ThreadGenerator&,
                                        const StopCheck&, double);

}  // namespace vorn

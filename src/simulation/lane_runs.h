// Ensemble runs interleaved across the lanes of a keystream kernel. Runs
// start a lane-width at a time: one kernel call expands their seeds and
// computes block 0 of every new run's generation and memory-loss streams,
// and most runs end within those. A run that needs more waits in a pool, which
// computes the next block of whichever stream each of a lane-width of
// waiting runs needs in one call. Once a run is abandoned its outcome is
// settled and only its failed-attempt count remains: the rest of its
// generation draws are counted by a second set of lanes, inside a kernel
// that compares the draws with the hops' bounds and stores no keystream.
#pragma once

#include <cstdint>

#include "common/stop_check.h"
#include "random/keystream_kernel.h"
#include "simulation/request_plan.h"
#include "simulation/round_loop.h"

namespace vorn {

// Routes of at most this many hops run in lanes (a round's draws then fit in
// what a run buffers).
inline constexpr std::size_t kMaxLaneHops = 8;

// Whether run_in_lanes takes this plan: a plan that does not end early, with
// 1 to kMaxLaneHops hops each of which can fail (win bound below 2^52), on a
// little-endian machine.
bool runs_in_lanes(const RequestPlan& plan);

// A batch of runs for run_in_lanes, and where their results go.
struct LaneBatch {
    const KeystreamKernel& kernel;
    std::uint64_t first_seed;
    std::uint64_t count;
    RunSlots slots;
    RunTotals& totals;
    // Must hold answers of the batch's plan only.
    AbandonedRoundsMemo& memo;
    // Polled once per kernel call.
    const StopCheck& stop;
};

// Runs j = 0 .. count - 1 with generation draws from seed_from_u64(first_seed
// + j) on stream 0 and memory-loss draws from the same key on stream 1, as
// run_rounds plays them with drops starting at 0 and the clock at 0: the same
// latency, fidelity and success per run (in slot j) and the same totals,
// added to `totals`.
void run_in_lanes(const RequestPlan& plan, const LaneBatch& batch);

}  // namespace vorn

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
#include "simulation/keystream_kernel.h"
#include "simulation/request_plan.h"
#include "simulation/round_loop.h"

namespace vorn {

// Whole-number totals of a set of runs.
struct LaneRunTotals {
    std::uint64_t successes = 0;
    std::uint64_t drops = 0;
    // Rounds summed over the runs: the attempts on each hop.
    std::uint64_t rounds = 0;
    std::uint64_t keystream_words = 0;
};

// Routes of at most this many hops run in lanes (a round's draws then fit in
// what a run buffers).
inline constexpr std::size_t kMaxLaneHops = 8;

// Whether run_in_lanes takes this plan: a plan that does not end early, with
// 1 to kMaxLaneHops hops each of which can fail (win bound below 2^52), on a
// little-endian machine.
bool runs_in_lanes(const RequestPlan& plan);

// Runs j = 0 .. count - 1 with generation draws from seed_from_u64(first_seed
// + j) on stream 0 and memory-loss draws from the same key on stream 1, as
// run_rounds plays them with drops starting at 0 and the clock at 0: the same
// latency, fidelity and success per run (at latency[j], fidelity[j],
// success[j]) and the same totals, added to `totals`. `memo` must hold
// answers of this plan only. `stop` is polled once per kernel call.
void run_in_lanes(const RequestPlan& plan, const KeystreamKernel& kernel, std::uint64_t first_seed,
                  std::uint64_t count, double* latency, double* fidelity, bool* success, LaneRunTotals& totals,
                  AbandonedRoundsMemo& memo, const StopCheck& stop = never_stop());

}  // namespace vorn

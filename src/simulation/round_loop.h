// The rounds of one request: generation on every hop, memory loss of the new
// pairs, abandon after failed attempts, swapping, purification and the
// decision, on a simulated clock, until the target is met or the latency
// budget or the time cutoff runs out.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "common/stop_check.h"
#include "random/chacha12.h"
#include "simulation/request_plan.h"
#include "simulation/round_rules.h"
#include "random/thread_generator.h"

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
// Once a round is abandoned, the clock alone decides how many rounds remain.
// Runs of one plan abandon at a few distinct clocks, so an ensemble keeps the
// answers (remaining rounds, final clock) by the exact clock they start from.
// Valid for one plan only.
class AbandonedRoundsMemo {
public:
    bool find(double clock, std::uint64_t& rounds, double& end_clock) const {
        const std::uint64_t key = std::bit_cast<std::uint64_t>(clock);
        const Slot& slot = slots_[slot_of(key)];
        if (!slot.used || slot.key != key) return false;
        rounds = slot.rounds;
        end_clock = slot.end_clock;
        return true;
    }
    void store(double clock, std::uint64_t rounds, double end_clock) {
        const std::uint64_t key = std::bit_cast<std::uint64_t>(clock);
        slots_[slot_of(key)] = {key, rounds, end_clock, true};
    }

private:
    static constexpr std::size_t kSlots = 64;
    struct Slot {
        std::uint64_t key = 0;
        std::uint64_t rounds = 0;
        double end_clock = 0.0;
        bool used = false;
    };
    static std::size_t slot_of(std::uint64_t key) {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 58);  // top 6 bits: kSlots
    }
    Slot slots_[kSlots];
};

// The abandoned rounds that follow one abandoned at `clock` (already counted):
// how many more the loop test admits, each advancing the clock by the 2.5 ms
// back-off. Moves `clock` to where the loop ends, as stepping it would.
// Answers come from and go to `memo` when one is given.
std::uint64_t abandoned_rounds_left(double& clock, double budget, double cutoff, AbandonedRoundsMemo* memo,
                                    const StopCheck& stop);

// Where the clock stops when a round was abandoned at `clock`: the clock the
// loop `clock += 2.5` reaches when it first fails the budget and cutoff test
// or stops advancing, exactly as stepping it would, but in a few steps per
// binade: within a binade every sum rounds by the same step once the parity
// of the first tie (a spacing of 1 ms) is settled. With an unbounded budget
// and cutoff the clock stops advancing near 2^54 ms after about 10^16 rounds,
// which stepping could never reach in useful time.
double abandoned_end_clock(double clock, double budget, double cutoff);

// What the caller of run_rounds keeps. Ensembles keep every round's draws
// and counts; a single request keeps only its outcome, so once its rounds
// are abandoned (every later one is) it skips their draws and counts and
// moves the clock straight to where it ends (abandoned_end_clock): the
// outcome is the same, and a request with unbounded limits ends at once.
enum class RoundsKept { kCountsAndDraws, kOutcomeOnly };

template <class LossGenerator>
RoundsResult run_rounds(const RequestPlan& plan, std::uint64_t& drops, ChaCha12Generator& request_generator,
                        LossGenerator& loss_generator, const StopCheck& stop = never_stop(),
                        double start_clock_ms = 0.0, AbandonedRoundsMemo* memo = nullptr,
                        RoundsKept kept = RoundsKept::kCountsAndDraws);

extern template RoundsResult run_rounds(const RequestPlan&, std::uint64_t&, ChaCha12Generator&, ChaCha12Generator&,
                                        const StopCheck&, double, AbandonedRoundsMemo*, RoundsKept);
extern template RoundsResult run_rounds(const RequestPlan&, std::uint64_t&, ChaCha12Generator&, ThreadGenerator&,
                                        const StopCheck&, double, AbandonedRoundsMemo*, RoundsKept);

}  // namespace vorn

// The rules of a request's rounds, in one place for both runners: the round
// loop (single requests, and ensemble runs one at a time) and the lane runs
// (ensemble runs interleaved across keystream lanes). A round starts while
// the clock is below the budget and the cutoff; every hop makes one attempt;
// a failed attempt abandons the round and every later one; a round whose
// attempts all succeeded swaps (unless a pair was lost), purifies while the
// fidelity is below the target and above 0.5, and ends the request when the
// target is met or the budget is reached, else the clock backs off 2.5 ms
// (and the request ends out of time where that no longer advances it).
#pragma once

#include <cmath>
#include <cstdint>

#include "simulation/request_plan.h"
#include "simulation/request_physics.h"

namespace vorn {

inline constexpr double kRetryBackoffMs = 2.5;
inline constexpr double kPurificationMs = 0.85;
inline constexpr double kMemoryLossProbability = 0.1;

// A memory-loss draw is uniform_range(0, 1), whose value is exactly the top
// 52 bits of one next_u64 over 2^52 (never 1, so never redrawn); the pair is
// lost when that is below 0.1, that is when the top bits are below
// ceil(0.1 * 2^52) (the product is exact: a power-of-two scaling).
inline const std::uint64_t kMemoryLossBound = static_cast<std::uint64_t>(std::ceil(kMemoryLossProbability * 0x1p52));

// Whole-number totals of a set of runs: their sums do not depend on the order
// of the runs.
struct RunTotals {
    std::uint64_t successes = 0;
    std::uint64_t drops = 0;
    // Rounds summed over the runs: the attempts on each hop.
    std::uint64_t attempts_per_hop = 0;
    std::uint64_t keystream_words = 0;

    void add(const RunTotals& other) {
        successes += other.successes;
        drops += other.drops;
        attempts_per_hop += other.attempts_per_hop;
        keystream_words += other.keystream_words;
    }
};

// Where runs j = 0, 1, ... of a batch leave their outcomes.
struct RunSlots {
    double* latency;
    double* fidelity;
    bool* success;

    void set(std::uint64_t j, bool met, double clock, double reached) const {
        latency[j] = clock;
        fidelity[j] = reached;
        success[j] = met;
    }
};

class RoundRules {
public:
    explicit RoundRules(const RequestPlan& plan)
        : target_(plan.fidelity_target),
          budget_(plan.max_latency_ms),
          cutoff_(plan.total_time_cutoff_ms),
          beta_(plan.baseline_purify_factor),
          swapped_fidelity_(plan.swapped_fidelity),
          swaps_(plan.swaps) {}

    // Whether a round starts at `clock`.
    bool starts(double clock) const { return budget_ > clock && cutoff_ > clock; }

    // One draw per attempt: it fails when the draw's top 52 bits reach the
    // hop's win bound (closed01_win_bound).
    static bool attempt_fails(std::uint64_t draw, std::uint64_t win_bound) { return (draw >> 12) >= win_bound; }
    // One draw per pair of a complete round: lost below 0.1.
    static bool pair_lost(std::uint64_t draw) { return (draw >> 12) < kMemoryLossBound; }

    // How a complete round ends: the request ends (`met` or not, at `clock`,
    // with `fidelity` 0 unless met), or the next round starts at `clock`
    // with `fidelity`.
    struct RoundEnd {
        bool ends;
        bool met;
        double clock;
        double fidelity;
    };

    // The rest of a round in which every hop generated a pair. `purify(f)`
    // is the purification of f with this plan's factor (a runner may keep
    // answers it has already computed).
    template <class Purify>
    RoundEnd complete(double clock, double fidelity, bool lost, Purify&& purify) const {
        if (swaps_ && !lost) fidelity = swapped_fidelity_;
        if (target_ > fidelity && fidelity > 0.5) {
            clock += kPurificationMs;
            fidelity = purify(fidelity);
        }
        if (fidelity >= target_ || clock >= budget_) {
            const bool met = fidelity >= target_;
            return {true, met, clock, met ? fidelity : 0.0};
        }
        const double next = clock + kRetryBackoffMs;
        if (next == clock) return {true, false, clock, 0.0};  // the clock cannot advance: out of time
        return {false, false, next, fidelity};
    }

    RoundEnd complete(double clock, double fidelity, bool lost) const {
        return complete(clock, fidelity, lost, [this](double f) { return purify_fidelity(f, beta_); });
    }

    double budget() const { return budget_; }
    double cutoff() const { return cutoff_; }
    double beta() const { return beta_; }

private:
    double target_;
    double budget_;
    double cutoff_;
    double beta_;
    double swapped_fidelity_;
    bool swaps_;
};

}  // namespace vorn

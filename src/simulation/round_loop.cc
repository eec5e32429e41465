#include "simulation/round_loop.h"

#include "simulation/request_physics.h"

namespace vorn {
namespace {

constexpr double kRetryBackoffMs = 2.5;
constexpr double kPurificationMs = 0.85;
constexpr double kMemoryLossProbability = 0.1;
// Rounds between two polls of the stop check (a power of two).
constexpr std::uint64_t kRoundsPerPoll = 16;

}  // namespace

template <class LossGenerator>
RoundsResult run_rounds(const RequestPlan& plan, std::uint64_t& drops_out, ChaCha12Generator& request_generator,
                        LossGenerator& loss_generator, const StopCheck& stop, double start_clock_ms) {
    std::uint64_t drops = drops_out;  // kept in a register through the rounds
    const double target = plan.fidelity_target;
    const double budget = plan.max_latency_ms;
    const double cutoff = plan.total_time_cutoff_ms;
    const std::uint64_t* win_bound = plan.hop_win_bound.data();
    const std::size_t hops = plan.hop_win_bound.size();

    RoundsResult result;
    double clock = start_clock_ms;
    double fidelity = plan.start_fidelity;
    while (budget > clock && cutoff > clock) {
        if ((result.rounds & (kRoundsPerPoll - 1)) == kRoundsPerPoll - 1) stop.poll();
        ++result.rounds;
        for (std::size_t h = 0; h < hops; ++h) {
            // One draw per attempt, also when p is 0; it wins when p exceeds
            // its uniform_closed01 value.
            if ((request_generator.next_u64() >> 12) >= win_bound[h]) ++drops;
        }
        if (drops != 0) {
            // Abandoned, and so is every later round (drops is only reset
            // after a complete round): what remains is one draw per hop per
            // round, the failed-attempt count and the clock, in a tight loop.
            for (;;) {
                const double next = clock + kRetryBackoffMs;
                if (next == clock) break;  // the clock cannot advance: out of time
                clock = next;
                if (!(budget > clock && cutoff > clock)) break;
                if ((result.rounds & (kRoundsPerPoll - 1)) == kRoundsPerPoll - 1) stop.poll();
                ++result.rounds;
                drops += request_generator.count_losing_draws(win_bound, hops);
            }
            break;
        }
        // Every hop generated a pair; each is now kept or lost. (A round that
        // is abandoned draws no loss: its pairs are discarded whatever the
        // draws say, and once abandoned every later round is abandoned too,
        // so the loss stream is never consulted again.)
        bool pair_lost = false;
        for (std::size_t h = 0; h < hops; ++h) {
            if (loss_generator.uniform_range(0.0, 1.0) < kMemoryLossProbability) pair_lost = true;
        }
        // Swapping needs every hop's pair.
        if (plan.swaps && !pair_lost) fidelity = plan.swapped_fidelity;
        if (target > fidelity && fidelity > 0.5) {
            clock += kPurificationMs;
            fidelity = purify_fidelity(fidelity, plan.baseline_purify_factor);
        }
        if (fidelity >= target || clock >= budget) {
            result.latency_ms = clock;
            result.success = fidelity >= target;
            result.fidelity = result.success ? fidelity : 0.0;
            drops_out = drops;
            return result;
        }
        drops = 0;
        const double next = clock + kRetryBackoffMs;
        if (next == clock) break;  // the clock cannot advance: out of time
        clock = next;
    }
    result.latency_ms = clock;
    drops_out = drops;
    return result;
}

template RoundsResult run_rounds(const RequestPlan&, std::uint64_t&, ChaCha12Generator&, ChaCha12Generator&,
                                 const StopCheck&, double);
template RoundsResult run_rounds(const RequestPlan&, std::uint64_t&, ChaCha12Generator&, ThreadGenerator&,
                                 const StopCheck&, double);

}  // namespace vorn

#include "simulation/round_loop.h"

#include "simulation/request_physics.h"

#include <bit>
#include <cmath>

namespace vorn {
namespace {

// Rounds between two polls of the stop check (a power of two).
constexpr std::uint64_t kRoundsPerPoll = 16;
// Abandoned rounds drawn between two polls of the stop check.
constexpr std::uint64_t kRoundsPerSweep = 1024;

// Abandoned rounds left when the clock reads `clock`: how many times the
// loop `clock += 2.5` can run with the clock still below budget and cutoff,
// when every one of those sums is exact (then the k-th is clock + 2.5 k and
// one comparison per candidate count settles it). Returns false when some
// sum could round (or a limit is not finite); the caller then steps the clock.
bool exact_abandoned_rounds(double clock, double budget, double cutoff, std::uint64_t& rounds) {
    if (std::isnan(budget) || std::isnan(cutoff)) return false;
    const double limit = budget < cutoff ? budget : cutoff;
    if (!(clock >= 0.0) || !std::isfinite(limit)) return false;
    // Every sum is a multiple of `grain` (the lowest set bit of clock, at most
    // 0.5 since 2.5 is 5 halves), exact while below 2^53 grain; only sums
    // below the limit are kept, and rounding never carries a sum across it.
    int grain_exponent = -1;
    if (clock != 0.0) {
        int exponent;
        const double mantissa = std::frexp(clock, &exponent);  // clock = mantissa 2^exponent
        const auto integer = static_cast<std::uint64_t>(std::ldexp(mantissa, 53));
        const int low = exponent - 53 + std::countr_zero(integer);
        if (low < grain_exponent) grain_exponent = low;
    }
    if (!(limit < std::ldexp(1.0, 53 + grain_exponent))) return false;
    if (!(clock + kRetryBackoffMs < limit)) {
        rounds = 0;
        return true;
    }
    // clock + 2.5 k < limit for k = 1 .. n: start from the real-valued answer
    // and correct it by exact comparisons.
    auto n = static_cast<std::uint64_t>((limit - clock) / kRetryBackoffMs);
    while (n > 1 && !(clock + kRetryBackoffMs * static_cast<double>(n) < limit)) --n;
    while (clock + kRetryBackoffMs * static_cast<double>(n + 1) < limit) ++n;
    rounds = n;
    return true;
}

}  // namespace

std::uint64_t abandoned_rounds_left(double& clock, double budget, double cutoff, AbandonedRoundsMemo* memo,
                                    const StopCheck& stop) {
    std::uint64_t left = 0;
    if (memo != nullptr && memo->find(clock, left, clock)) return left;
    const double from = clock;
    if (exact_abandoned_rounds(clock, budget, cutoff, left)) {
        clock = clock + kRetryBackoffMs * static_cast<double>(left);  // exact
        clock += kRetryBackoffMs;  // the first clock past the limit, as the loop computes it
    } else {
        for (;;) {
            const double next = clock + kRetryBackoffMs;
            if (next == clock) break;  // the clock cannot advance: out of time
            clock = next;
            if (!(budget > clock && cutoff > clock)) break;
            if ((left & (kRoundsPerPoll - 1)) == kRoundsPerPoll - 1) stop.poll();
            ++left;
        }
    }
    if (memo != nullptr) memo->store(from, left, clock);
    return left;
}

double abandoned_end_clock(double clock, double budget, double cutoff) {
    // Where the clock is spaced 1 ms apart, clock + 2.5 is a tie that rounds
    // to the even neighbour: +3 from an odd clock, then +2 from every even
    // one. Everywhere else a binade's sums all round by the same step. So two
    // equal steps that both started in the clock's binade fix every later
    // step in it, and the clock can jump to just below the binade's end or
    // the limit; real steps do the rest.
    constexpr double kMargin = 4.0;
    double last_step = 0.0;
    for (;;) {
        const double next = clock + kRetryBackoffMs;
        if (next == clock) return clock;  // the clock cannot advance: out of time
        const double start = clock;
        const double step = next - start;
        clock = next;
        if (!(budget > clock && cutoff > clock)) return clock;
        int exponent;
        std::frexp(clock, &exponent);  // clock in [2^(exponent-1), 2^exponent)
        if (step == last_step && start - last_step >= std::ldexp(0.5, exponent)) {
            const double limit = budget < cutoff ? budget : cutoff;  // neither is NaN here
            const double binade_end = std::ldexp(1.0, exponent);
            const double edge = limit < binade_end ? limit : binade_end;
            // Whole steps that keep the clock below the edge, less a margin
            // for the rounding of the quotient (at most 2^52 steps fit).
            const double room = (edge - clock) / step;
            if (room > 2.0 * kMargin) {
                // Exact: a multiple of the binade's spacing inside the binade.
                clock += (std::floor(room) - kMargin) * step;
            }
        }
        last_step = step;
    }
}

template <class LossGenerator>
RoundsResult run_rounds(const RequestPlan& plan, std::uint64_t& drops_out, ChaCha12Generator& request_generator,
                        LossGenerator& loss_generator, const StopCheck& stop, double start_clock_ms,
                        AbandonedRoundsMemo* memo, RoundsKept kept) {
    std::uint64_t drops = drops_out;  // kept in a register through the rounds
    const RoundRules rules(plan);
    const std::uint64_t* win_bound = plan.hop_win_bound.data();
    const std::size_t hops = plan.hop_win_bound.size();
    // Plans made by hand (tests) may leave the pattern out: one round's bounds.
    const bool repeated = !plan.hop_win_pattern.empty();
    const std::uint64_t* pattern = repeated ? plan.hop_win_pattern.data() : win_bound;
    const std::size_t period = repeated ? plan.hop_win_pattern.size() : hops;

    RoundsResult result;
    double clock = start_clock_ms;
    double fidelity = plan.start_fidelity;
    while (rules.starts(clock)) {
        if ((result.rounds & (kRoundsPerPoll - 1)) == kRoundsPerPoll - 1) stop.poll();
        ++result.rounds;
        for (std::size_t h = 0; h < hops; ++h) {
            // One draw per attempt, also when p is 0.
            if (RoundRules::attempt_fails(request_generator.next_u64(), win_bound[h])) ++drops;
        }
        if (drops != 0 && kept == RoundsKept::kOutcomeOnly) {
            // Abandoned: the outcome is out of time at the clock where the
            // abandoned rounds end; their draws and counts are not kept.
            clock = abandoned_end_clock(clock, rules.budget(), rules.cutoff());
            break;
        }
        if (drops != 0) {
            // Abandoned, and so is every later round (drops is only reset
            // after a complete round): what remains is one draw per hop per
            // round and the failed-attempt count. The clock alone decides how
            // many rounds remain: they are counted (exactly, from the memo,
            // or by stepping the clock) and their draws then made in sweeps
            // over the keystream.
            std::uint64_t left = abandoned_rounds_left(clock, rules.budget(), rules.cutoff(), memo, stop);
            result.rounds += left;
            while (left != 0) {
                const std::uint64_t pass = left < kRoundsPerSweep ? left : kRoundsPerSweep;
                stop.poll();
                drops += request_generator.count_losing_pattern(pattern, period, pass * hops);
                left -= pass;
            }
            break;
        }
        // Every hop generated a pair; each is now kept or lost. (A round that
        // is abandoned draws no loss: its pairs are discarded whatever the
        // draws say, and once abandoned every later round is abandoned too,
        // so the loss stream is never consulted again.)
        bool pair_lost = false;
        for (std::size_t h = 0; h < hops; ++h) pair_lost |= RoundRules::pair_lost(loss_generator.next_u64());
        const RoundRules::RoundEnd end = rules.complete(clock, fidelity, pair_lost);
        if (end.ends) {
            result.latency_ms = end.clock;
            result.success = end.met;
            result.fidelity = end.fidelity;
            drops_out = drops;  // 0: a complete round failed no attempt
            return result;
        }
        drops = 0;
        clock = end.clock;
        fidelity = end.fidelity;
    }
    result.latency_ms = clock;
    drops_out = drops;
    return result;
}

template RoundsResult run_rounds(const RequestPlan&, std::uint64_t&, ChaCha12Generator&, ChaCha12Generator&,
                                 const StopCheck&, double, AbandonedRoundsMemo*, RoundsKept);
template RoundsResult run_rounds(const RequestPlan&, std::uint64_t&, ChaCha12Generator&, ThreadGenerator&,
                                 const StopCheck&, double, AbandonedRoundsMemo*, RoundsKept);

}  // namespace vorn

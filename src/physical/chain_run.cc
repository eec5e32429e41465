#include "physical/chain_run.h"

#include <cmath>
#include <limits>

#include "common/saturating_u64.h"

namespace vorn {
namespace {

void add_attempts(std::uint64_t& total, double attempts) {
    const std::uint64_t count = truncate_to_u64(attempts);
    total = count > UINT64_MAX - total ? UINT64_MAX : total + count;
}

}  // namespace

ChainRunner::ChainRunner(const ChainPlan& plan)
    : plan_(plan),
      hops_(plan.hops()),
      pending_(hops_),
      arrival_(hops_),
      started_(hops_),
      drawn_(hops_),
      right_end_(hops_ + 1),
      left_end_(hops_ + 1),
      werner_(hops_ + 1),
      decay_(hops_ + 1),
      expiry_(hops_ + 1) {}

void ChainRunner::restart_hop(std::size_t hop, double now, ChaCha12Generator& generator, std::uint64_t* attempts) {
    const double k = geometric_attempts(generator.next_u64(), plan_.inverse_log_failure[hop]);
    add_attempts(attempts[hop], k);
    started_[hop] = now;
    drawn_[hop] = k;
    pending_[hop] = 1;
    arrival_[hop] = now + k * plan_.attempt_ms[hop];
}

// Drops the pair whose left end is `left`, restarting every hop it spans.
void ChainRunner::discard_segment(std::size_t left, double now, ChaCha12Generator& generator, std::uint64_t* attempts) {
    const std::size_t right = right_end_[left];
    right_end_[left] = kNone;
    left_end_[right] = kNone;
    for (std::size_t h = left; h < right; ++h) restart_hop(h, now, generator, attempts);
    ++restarts_;
}

// Swaps at inner node `node`, which holds a qubit of a pair on each side.
void ChainRunner::swap_at(std::size_t node, double now, ChaCha12Generator& generator, std::uint64_t* attempts) {
    const std::size_t left = left_end_[node];
    const std::size_t right = right_end_[node];
    if (plan_.swaps_can_fail && (generator.next_u64() >> 12) >= plan_.swap_win_bound) {
        discard_segment(left, now, generator, attempts);
        discard_segment(node, now, generator, attempts);
        return;
    }
    // The two qubits at `node` waited since their hops' pairs arrived.
    const double stored_ms = (now - arrival_[node - 1]) + (now - arrival_[node]);
    werner_[left] *= werner_[node];
    decay_[left] += decay_[node] + plan_.decay_per_ms[node] * stored_ms;
    right_end_[left] = right;
    left_end_[right] = left;
    right_end_[node] = kNone;
    left_end_[node] = kNone;
    // The merged pair's stored qubits are those of hop `left` and hop right - 1.
    const double older = arrival_[left] < arrival_[right - 1] ? arrival_[left] : arrival_[right - 1];
    expiry_[left] = older + plan_.cutoff_ms;
}

ChainRunResult ChainRunner::deliver(double now) const {
    ChainRunResult result;
    result.delivered = true;
    result.delivery_ms = now + plan_.signalling_ms;
    result.elapsed_ms = result.delivery_ms;
    const double end_stored = plan_.decay_per_ms[0] * (result.delivery_ms - arrival_[0]) +
                              plan_.decay_per_ms[hops_] * (result.delivery_ms - arrival_[hops_ - 1]);
    const double werner = werner_[0] * std::exp(-(decay_[0] + end_stored));
    result.fidelity = fidelity_from_werner(werner);
    result.success = result.delivery_ms <= plan_.max_latency_ms && result.fidelity >= plan_.fidelity_target;
    return result;
}

ChainRunResult ChainRunner::out_of_time(double now, std::uint64_t* attempts) const {
    // A hop still waiting made only the attempts that ended by the deadline,
    // not all those drawn.
    if (std::isfinite(plan_.deadline_ms)) {
        for (std::size_t h = 0; h < hops_; ++h) {
            if (!pending_[h]) continue;
            const double made = std::floor((plan_.deadline_ms - started_[h]) / plan_.attempt_ms[h]);
            if (!(made < drawn_[h])) continue;
            const std::uint64_t unmade = truncate_to_u64(drawn_[h]) - truncate_to_u64(made);
            attempts[h] = attempts[h] >= unmade ? attempts[h] - unmade : 0;
        }
    }
    ChainRunResult result;
    result.elapsed_ms = std::isfinite(plan_.max_latency_ms) ? plan_.max_latency_ms : now;
    return result;
}

ChainRunResult ChainRunner::run_without_restarts(ChaCha12Generator& generator, std::uint64_t* attempts) {
    double last = 0.0;
    for (std::size_t h = 0; h < hops_; ++h) {
        restart_hop(h, 0.0, generator, attempts);
        if (arrival_[h] > last) last = arrival_[h];  // arrivals are never NaN
    }
    if (!(last <= plan_.deadline_ms) || !std::isfinite(last)) return out_of_time(last, attempts);
    double werner = plan_.werner[0];
    double decay = 0.0;
    for (std::size_t n = 1; n < hops_; ++n) {
        werner *= plan_.werner[n];
        decay += plan_.decay_per_ms[n] * std::fabs(arrival_[n] - arrival_[n - 1]);
    }
    werner_[0] = werner;
    decay_[0] = decay;
    return deliver(last);
}

ChainRunResult ChainRunner::run(ChaCha12Generator& generator, std::uint64_t* attempts) {
    const bool has_cutoff = plan_.cutoff_ms < std::numeric_limits<double>::infinity();
    if (!has_cutoff && !plan_.swaps_can_fail) return run_without_restarts(generator, attempts);
    return run_events(generator, attempts);
}

ChainRunResult ChainRunner::run_events(ChaCha12Generator& generator, std::uint64_t* attempts) {
    const bool has_cutoff = plan_.cutoff_ms < std::numeric_limits<double>::infinity();
    restarts_ = 0;
    for (std::size_t n = 0; n <= hops_; ++n) {
        right_end_[n] = kNone;
        left_end_[n] = kNone;
    }
    for (std::size_t h = 0; h < hops_; ++h) restart_hop(h, 0.0, generator, attempts);

    for (;;) {
        // The next event: the earliest arrival, or the earliest cutoff age.
        double now = std::numeric_limits<double>::infinity();
        for (std::size_t h = 0; h < hops_; ++h) {
            if (pending_[h] && arrival_[h] < now) now = arrival_[h];
        }
        if (has_cutoff) {
            for (std::size_t n = 0; n < hops_; ++n) {
                if (right_end_[n] != kNone && expiry_[n] < now) now = expiry_[n];
            }
        }
        if (!(now <= plan_.deadline_ms) || !std::isfinite(now)) return out_of_time(now, attempts);

        // 1. Pairs arriving now.
        for (std::size_t h = 0; h < hops_; ++h) {
            if (!pending_[h] || arrival_[h] != now) continue;
            pending_[h] = 0;
            right_end_[h] = h + 1;
            left_end_[h + 1] = h;
            werner_[h] = plan_.werner[h];
            decay_[h] = 0.0;
            expiry_[h] = now + plan_.cutoff_ms;
        }
        // 2. Swaps, in path order.
        for (std::size_t n = 1; n < hops_; ++n) {
            if (left_end_[n] != kNone && right_end_[n] != kNone) swap_at(n, now, generator, attempts);
        }
        if (right_end_[0] == hops_) return deliver(now);
        // 3. Pairs at the cutoff age.
        if (has_cutoff) {
            for (std::size_t n = 0; n < hops_; ++n) {
                if (right_end_[n] != kNone && expiry_[n] <= now) discard_segment(n, now, generator, attempts);
            }
        }
        if (restarts_ >= kMaxRestarts) {
            ChainRunResult abandoned;
            abandoned.abandoned = true;
            abandoned.elapsed_ms = now;
            return abandoned;
        }
    }
}

}  // namespace vorn

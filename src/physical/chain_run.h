// One run of the physical model: an event simulation of a repeater chain.
//
// Every hop retries on its own from time 0; the number of attempts up to and
// including the first success is drawn at once by inversion of the geometric
// distribution (one draw per generated pair, whatever p is), so the pair of
// hop i arrives k x tau_i after the hop (re)started.
//
// Swap as soon as possible. At each event time T the run
//   1. lands every pair that arrives at T;
//   2. visits the inner nodes from the start node's end to the far end and
//      swaps at every node that holds a qubit of a pair on each side (the two
//      pairs may already span several hops). A swap takes no time; it
//      succeeds with swap_success, giving the product of the two Werner
//      parameters, or discards both pairs, whose hops restart at T. Visiting
//      in path order decides which swap comes first when several nodes become
//      ready at the same instant (only then does the order matter: a failed
//      swap removes the pair that the next node would have swapped);
//   3. discards every pair that has reached the cutoff age at T and was not
//      swapped at T; its hops restart at T. A pair's age is that of the older
//      of its two stored qubits (the ones at its end nodes), which have waited
//      since their own hops' pairs arrived.
// A qubit stored at a node for t ms multiplies its pair's Werner parameter by
// exp(-t / (1000 T2)); it is stored from its pair's arrival until the swap
// that consumes it, or, at the end nodes, until delivery. When the end nodes
// share one pair at time T, it is delivered at T + signalling_ms, the end
// qubits decaying meanwhile.
//
// Without a cutoff and with swaps that cannot fail no pair is ever restarted,
// so a run is settled by its hops' first arrival times g_i alone: node j
// swaps at max(g_{j-1}, g_j), its two qubits having waited |g_{j-1} - g_j|
// together, and the end-to-end pair forms at max_i g_i. Such runs take that
// closed path (the same draws, the same results up to rounding).
//
// A run gives up, undelivered, when the next event lies beyond the deadline
// (the end-to-end pair could no longer be delivered within max_latency_ms),
// is not finite, or after kMaxRestarts restarts of a pair.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "physical/chain_plan.h"
#include "random/chacha12.h"

namespace vorn {

struct ChainRunResult {
    bool delivered = false;
    bool success = false;
    // Gave up after kMaxRestarts restarts (neither delivered nor out of time).
    bool abandoned = false;
    double delivery_ms = 0.0;
    double fidelity = 0.0;
    // The simulated time the run took: its delivery time, else the time at
    // which it gave up (max_latency_ms when it ran out of time).
    double elapsed_ms = 0.0;
};

// The per-hop and per-node state of a run, allocated once for a plan and
// reused by every run.
class ChainRunner {
public:
    // A few milliseconds of events: a run past it is hopeless, and the
    // ensemble polls its stop check between runs.
    static constexpr std::uint64_t kMaxRestarts = 1u << 16;

    explicit ChainRunner(const ChainPlan& plan);

    // One run drawing from `generator`; adds each hop's attempts to
    // attempts[h] (saturating): the attempts that ended by the time the run
    // delivered or ran out of time.
    ChainRunResult run(ChaCha12Generator& generator, std::uint64_t* attempts);
    // The same run by the event simulation whatever the plan (run takes the
    // closed path where no pair can be restarted).
    ChainRunResult run_events(ChaCha12Generator& generator, std::uint64_t* attempts);

private:
    ChainRunResult run_without_restarts(ChaCha12Generator& generator, std::uint64_t* attempts);
    ChainRunResult out_of_time(double now, std::uint64_t* attempts) const;
    void restart_hop(std::size_t hop, double now, ChaCha12Generator& generator, std::uint64_t* attempts);
    void discard_segment(std::size_t left, double now, ChaCha12Generator& generator, std::uint64_t* attempts);
    void swap_at(std::size_t node, double now, ChaCha12Generator& generator, std::uint64_t* attempts);
    ChainRunResult deliver(double now) const;

    static constexpr std::size_t kNone = SIZE_MAX;

    const ChainPlan& plan_;
    std::size_t hops_;
    // Per hop: is its pair still to arrive, when it arrives (or arrived),
    // when its attempts started and how many were drawn.
    std::vector<char> pending_;
    std::vector<double> arrival_;
    std::vector<double> started_;
    std::vector<double> drawn_;
    // Per node: the far end of the pair whose left end (right end) it holds,
    // or kNone. Per left end node: the pair's product of Werner parameters,
    // its summed decay exponent so far, and when it reaches the cutoff age.
    std::vector<std::size_t> right_end_;
    std::vector<std::size_t> left_end_;
    std::vector<double> werner_;
    std::vector<double> decay_;
    std::vector<double> expiry_;
    std::uint64_t restarts_ = 0;
};

// Attempts up to and including the first success when each succeeds with
// p, from one draw: 1 + floor(log(U) x inverse_log_failure), where
// inverse_log_failure = 1 / log(1 - p) and U is uniform in (0, 1], taken
// from the top 53 bits. As a real, so that tiny p cannot overflow; p = 1
// (inverse_log_failure -0) always gives 1.
inline double geometric_attempts(std::uint64_t bits, double inverse_log_failure) {
    const double u = static_cast<double>((bits >> 11) + 1) * 0x1p-53;
    return 1.0 + std::floor(std::log(u) * inverse_log_failure);
}

}  // namespace vorn

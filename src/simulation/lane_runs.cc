#include "simulation/lane_runs.h"

#include <bit>
#include <cstring>
#include <vector>

#include "random/chacha12.h"
#include "simulation/request_physics.h"

namespace vorn {
namespace {

constexpr unsigned kBlockWords = 16;
constexpr unsigned kBlockDraws = 8;
// Blocks of an abandoned run's remaining draws that one lane takes at a time:
// long remainders are shared among lanes, so the lanes run out of work
// together when the last runs are swept.
constexpr std::uint64_t kSweepPieceBlocks = 32;

// The draws of one stream of a run not yet read: at first block 0 where the
// kernel left it (one lane of a lane-major batch, its words `lanes` apart),
// later what is left of the blocks so far (fewer than a round needs)
// followed by the newest block, in the run's own storage (words adjacent).
struct StreamDraws {
    std::uint32_t own[2 * kBlockWords];
    const std::uint32_t* words = nullptr;  // word w of the draws at words[w * stride]
    unsigned stride = 1;
    unsigned next = 0;
    unsigned end = 0;
    std::uint64_t counter = 0;  // the next block to compute

    unsigned available() const { return end - next; }

    // Draw i from the next one: its low word, then its high word.
    std::uint64_t draw(unsigned i) const {
        const std::uint32_t* low = words + 2 * (next + i) * stride;
        return low[0] | (std::uint64_t{low[stride]} << 32);
    }

    // Block 0, in lane `lane` of a lane-major batch of `lanes` blocks (left
    // where it is), as the only draws.
    void start(const std::uint32_t* batch, unsigned lane, unsigned lanes) {
        words = batch + lane;
        stride = lanes;
        next = 0;
        end = kBlockDraws;
        counter = 1;
    }

    // Moves the draws not yet read into own storage (before the block they
    // are read from is overwritten). Word by word in increasing order, which
    // is safe when they are in own storage already (they move down).
    void keep() {
        const unsigned left = end - next;
        const std::uint32_t* from = words + 2 * next * stride;
        for (unsigned w = 0; w < 2 * left; ++w) own[w] = from[w * stride];
        words = own;
        stride = 1;
        next = 0;
        end = left;
    }

    // Appends one block (16 words, read as 8 little-endian draws).
    void append(const std::uint32_t* block) {
        keep();
        std::memcpy(own + 2 * end, block, kBlockWords * sizeof(std::uint32_t));
        end += kBlockDraws;
        ++counter;
    }
};

enum class Need : std::uint8_t { kNothing, kRequestBlock, kLossBlock };

// A run that has started: its draws not yet read and its round state.
struct LiveRun {
    std::uint64_t index = 0;
    std::uint32_t key[8];  // set once the run needs it (abandoned, or waiting in the pool)
    StreamDraws request;
    StreamDraws loss;
    double clock = 0.0;
    double fidelity = 0.0;
    std::uint64_t rounds = 0;
    std::uint64_t loss_draws = 0;
    Need need = Need::kNothing;
};

// Generation draws of an abandoned run still to be counted: blocks
// counter .. counter + blocks - 1 of its generation stream, all 8 draws of
// each but the last, of which the first last_draws; the first draw belongs
// to hop `phase`. Lanes take it in pieces of at most kSweepPieceBlocks.
struct Sweep {
    std::uint32_t key[8];
    std::uint64_t counter = 0;
    std::uint64_t blocks = 0;
    std::uint32_t last_draws = 0;
    std::uint32_t phase = 0;
};

class LaneRunner {
public:
    LaneRunner(const RequestPlan& plan, const LaneBatch& batch)
        : rules_(plan),
          budget_(plan.max_latency_ms),
          cutoff_(plan.total_time_cutoff_ms),
          beta_(plan.baseline_purify_factor),
          start_fidelity_(plan.start_fidelity),
          purified_from_(std::bit_cast<std::uint64_t>(plan.start_fidelity)),
          purified_to_(purify_fidelity(plan.start_fidelity, plan.baseline_purify_factor)),
          kernel_(batch.kernel),
          lanes_(batch.kernel.lanes),
          hops_(static_cast<unsigned>(plan.hop_win_bound.size())),
          first_seed_(batch.first_seed),
          count_(batch.count),
          slots_(batch.slots),
          totals_(batch.totals),
          memo_(batch.memo),
          stop_(batch.stop) {
        for (unsigned h = 0; h < hops_; ++h) bound_[h] = plan.hop_win_bound[h];
        // (draw >> 12) >= b exactly when draw >= b * 2^12, for b < 2^52.
        for (unsigned i = 0; i < 2 * kBlockDraws; ++i) buffer_thresholds_[i] = bound_[i % hops_] << 12;
        for (unsigned k = 0; k < kBlockDraws; ++k) next_draw_[k] = static_cast<std::uint8_t>((k + kBlockDraws) % hops_);
        bool one_bound = true;
        for (unsigned h = 1; h < hops_; ++h) one_bound = one_bound && bound_[h] == bound_[0];
        if (kBlockDraws % hops_ != 0 && !one_bound) rotate_ = next_draw_;
        // Row q: the thresholds of the 8 draws of a block whose first draw
        // belongs to hop q. A draw loses when its top 52 bits reach the hop's
        // bound b, that is when the whole draw reaches b * 2^12 (b < 2^52).
        for (unsigned q = 0; q < hops_; ++q) {
            for (unsigned k = 0; k < kBlockDraws; ++k) {
                const std::uint64_t threshold = bound_[(q + k) % hops_] << 12;
                rows_[kBlockWords * q + 2 * k] = static_cast<std::uint32_t>(threshold);
                rows_[kBlockWords * q + 2 * k + 1] = static_cast<std::uint32_t>(threshold >> 32);
            }
            piece_phase_[q] = static_cast<std::uint32_t>((q + kBlockDraws * kSweepPieceBlocks) % hops_);
        }
        for (unsigned l = 0; l < lanes_; ++l) {
            for (unsigned i = 0; i < 16; ++i) {
                pool_inputs_[i * lanes_ + l] = i < 4 ? kChaChaSigma[i] : 0;
                sweep_inputs_[i * lanes_ + l] = i < 4 ? kChaChaSigma[i] : 0;  // words 14-15: the generation stream
                sweep_thresholds_[i * lanes_ + l] = 0;
            }
            sweep_draws_left_[l] = 0;
            sweep_blocks_left_[l] = 0;
        }
        sweeps_.reserve(batch.count);  // at most one per run: never reallocated
        // Every run's first round starts at clock 0 with the start fidelity,
        // and block 0 of each stream holds its draws (at most 8 hops).
        first_round_known_ = budget_ > 0.0 && cutoff_ > 0.0;
        if (first_round_known_) {
            first_round_[0] = complete_round(0.0, start_fidelity_, false);
            first_round_[1] = complete_round(0.0, start_fidelity_, true);
        }
        for (unsigned k = 0; k < kPoolRuns; ++k) free_[k] = kPoolRuns - 1 - k;
        free_count_ = kPoolRuns;
    }

    // New runs start a lane-width at a time: their keys and the first block
    // of both of their streams come from one kernel call, and their first
    // rounds are played from those. Runs that need more blocks wait in the pool, which
    // computes one block for each of a lane-width of them per kernel call.
    void run() {
        while (next_run_ < count_) {
            while (busy_count_ >= lanes_) pool_step();
            start_batch();
            if (sweep_next_ < sweeps_.size()) sweep(false);
        }
        while (busy_count_ != 0) pool_step();
        sweep(true);
    }

private:
    static constexpr unsigned kPoolRuns = 2 * kMaxKernelLanes;

    // Starts up to a lane-width of runs (fewer than a lane-width wait in the pool).
    void start_batch() {
        const std::uint64_t left = count_ - next_run_;
        const unsigned n = left < lanes_ ? static_cast<unsigned>(left) : lanes_;
        const std::uint64_t first = next_run_;
        next_run_ += n;
        // The batch's keys (its seed expansions side by side) and the first
        // block of both streams, in one kernel call; lanes past the last
        // run compute blocks nobody reads.
        stop_.poll();
        kernel_.seeded_first_blocks(first_seed_ + first, ChaCha12Generator::kDoubleRounds, fresh_keys_,
                                    fresh_request_blocks_, fresh_loss_blocks_);
        if (!first_round_known_) {
            for (unsigned l = 0; l < n; ++l) play_on(new_run(first, l));
            return;
        }
        // Every run's first round from block 0 of its two streams: how many
        // attempts failed and whether a pair was lost. Only the draws differ
        // from run to run, and branches on them mispredict, so the runs are
        // then taken by outcome, from lane masks.
        std::uint32_t failed_lanes = 0;
        std::uint32_t lost_lanes = 0;
        std::uint8_t failed[kMaxKernelLanes];
        for (unsigned l = 0; l < n; ++l) {
            unsigned attempts_failed = 0;
            bool pair_lost = false;
            for (unsigned h = 0; h < hops_; ++h) {
                attempts_failed += lane_draw(fresh_request_blocks_, l, h) >= buffer_thresholds_[h] ? 1 : 0;
                pair_lost |= RoundRules::pair_lost(lane_draw(fresh_loss_blocks_, l, h));
            }
            failed[l] = static_cast<std::uint8_t>(attempts_failed);
            failed_lanes |= static_cast<std::uint32_t>(attempts_failed != 0) << l;
            lost_lanes |= static_cast<std::uint32_t>(pair_lost) << l;
        }
        const std::uint32_t batch = (std::uint32_t{1} << n) - 1;
        for (unsigned lost = 0; lost < 2; ++lost) {
            const RoundEnd& end = first_round_[lost];
            std::uint32_t lanes = batch & ~failed_lanes & (lost != 0 ? lost_lanes : ~lost_lanes);
            if (lanes == 0) continue;
            if (end.ends) {
                // Settled in one round: no run state needed.
                const auto settled = static_cast<unsigned>(std::popcount(lanes));
                totals_.successes += end.met ? settled : 0;
                totals_.attempts_per_hop += settled;
                totals_.keystream_words += std::uint64_t{4} * hops_ * settled;  // hops draws of two words per stream
                for (; lanes != 0; lanes &= lanes - 1) {
                    slots_.set(first + static_cast<unsigned>(std::countr_zero(lanes)), end.met, end.clock,
                               end.fidelity);
                }
                continue;
            }
            for (; lanes != 0; lanes &= lanes - 1) {
                LiveRun& run = new_run(first, static_cast<unsigned>(std::countr_zero(lanes)));
                run.request.next = hops_;
                run.loss.next = hops_;
                run.rounds = 1;
                run.loss_draws = hops_;
                run.clock = end.clock;
                run.fidelity = end.fidelity;
                play_on(run);
            }
        }
        for (std::uint32_t lanes = failed_lanes; lanes != 0; lanes &= lanes - 1) {
            const auto l = static_cast<unsigned>(std::countr_zero(lanes));
            abandon(new_run(first, l), failed[l]);
        }
    }

    // Draw i of block 0 of the run in lane l of a lane-major batch.
    std::uint64_t lane_draw(const std::uint32_t* blocks, unsigned l, unsigned i) const {
        return blocks[2 * i * lanes_ + l] | (std::uint64_t{blocks[(2 * i + 1) * lanes_ + l]} << 32);
    }

    // The run in lane l of the batch starting at run `first`, at its start,
    // in a free place of the pool (which it keeps only if it waits there).
    LiveRun& new_run(std::uint64_t first, unsigned l) {
        LiveRun& run = pool_[free_[free_count_ - 1]];
        run.index = first + l;
        run.request.start(fresh_request_blocks_, l, lanes_);
        run.loss.start(fresh_loss_blocks_, l, lanes_);
        run.clock = 0.0;
        run.fidelity = start_fidelity_;
        run.rounds = 0;
        run.loss_draws = 0;
        for (unsigned i = 0; i < 8; ++i) run.key[i] = fresh_keys_[i * lanes_ + l];
        return run;
    }

    // Plays the rounds of the newest run (from new_run) that its first
    // blocks hold; a run that needs more waits in the pool.
    void play_on(LiveRun& run) {
        if (advance(run)) return;
        run.request.keep();
        run.loss.keep();
        busy_[busy_count_++] = free_[--free_count_];
    }

    // One block for each of up to a lane-width of waiting runs.
    void pool_step() {
        const unsigned m = busy_count_ < lanes_ ? busy_count_ : lanes_;
        for (unsigned l = 0; l < m; ++l) {
            const LiveRun& run = pool_[busy_[l]];
            const bool loss = run.need == Need::kLossBlock;
            const std::uint64_t counter = loss ? run.loss.counter : run.request.counter;
            for (unsigned i = 0; i < 8; ++i) pool_inputs_[(4 + i) * lanes_ + l] = run.key[i];
            pool_inputs_[12 * lanes_ + l] = static_cast<std::uint32_t>(counter);
            pool_inputs_[13 * lanes_ + l] = static_cast<std::uint32_t>(counter >> 32);
            pool_inputs_[14 * lanes_ + l] = loss ? 1 : 0;
        }
        stop_.poll();
        kernel_.states(pool_inputs_, ChaCha12Generator::kDoubleRounds, pool_blocks_);
        unsigned kept = 0;
        for (unsigned l = 0; l < busy_count_; ++l) {
            const unsigned slot = busy_[l];
            if (l < m) {
                LiveRun& run = pool_[slot];
                StreamDraws& stream = run.need == Need::kLossBlock ? run.loss : run.request;
                stream.append(pool_blocks_ + kBlockWords * l);
                if (advance(run)) {
                    free_[free_count_++] = slot;
                    continue;
                }
            }
            busy_[kept++] = slot;
        }
        busy_count_ = kept;
    }

    // Plays rounds of `run` until it needs a block (false; `need` says which)
    // or ends (true). A round starts only when both streams hold enough draws
    // for it; a round short of loss draws is played again from its start
    // once the block is there (its generation draws read the same values).
    bool advance(LiveRun& run) {
        for (;;) {
            if (!rules_.starts(run.clock)) return finish(run, false, run.clock, 0.0);
            if (run.request.available() < hops_) {
                run.need = Need::kRequestBlock;
                return false;
            }
            std::uint64_t failed = 0;
            for (unsigned h = 0; h < hops_; ++h)
                failed += RoundRules::attempt_fails(run.request.draw(h), bound_[h]) ? 1 : 0;
            if (failed != 0) return abandon(run, failed);
            if (run.loss.available() < hops_) {
                run.need = Need::kLossBlock;
                return false;
            }
            run.request.next += hops_;
            ++run.rounds;
            // Every hop generated a pair; each is now kept or lost.
            bool pair_lost = false;
            for (unsigned h = 0; h < hops_; ++h) pair_lost |= RoundRules::pair_lost(run.loss.draw(h));
            run.loss.next += hops_;
            run.loss_draws += hops_;
            const RoundEnd end = complete_round(run.clock, run.fidelity, pair_lost);
            if (end.ends) return finish(run, end.met, end.clock, end.fidelity);
            run.clock = end.clock;
            run.fidelity = end.fidelity;
        }
    }

    using RoundEnd = RoundRules::RoundEnd;
    RoundEnd complete_round(double clock, double fidelity, bool pair_lost) {
        return rules_.complete(clock, fidelity, pair_lost, [this](double f) { return purified(f); });
    }

    // G of `fidelity`: runs of one plan purify the same few fidelities (the
    // start fidelity most of all), so the last answer is kept.
    double purified(double fidelity) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(fidelity);
        if (bits != purified_from_) {
            purified_from_ = bits;
            purified_to_ = purify_fidelity(fidelity, beta_);
        }
        return purified_to_;
    }

    // The round at the head of the buffer failed `failed` attempts: it and
    // every later round are abandoned. Their count settles the outcome; the
    // draws left in the buffer are counted here, the rest queued for a sweep.
    bool abandon(LiveRun& run, std::uint64_t failed) {
        run.request.next += hops_;
        ++run.rounds;
        double clock = run.clock;
        const std::uint64_t left = abandoned_rounds_left(clock, budget_, cutoff_, &memo_, stop_);
        run.rounds += left;
        std::uint64_t remaining = left * hops_;
        std::uint64_t drops = failed;
        // The buffer's head starts a round, so its draw i belongs to hop i mod hops.
        const unsigned available = run.request.available();
        const unsigned buffered = remaining < available ? static_cast<unsigned>(remaining) : available;
        for (unsigned i = 0; i < buffered; ++i) drops += run.request.draw(i) >= buffer_thresholds_[i] ? 1 : 0;
        run.request.next += buffered;
        remaining -= buffered;
        const unsigned phase = buffered % hops_;
        totals_.drops += drops;
        if (remaining != 0) {
            Sweep& sweep = sweeps_.emplace_back();
            std::memcpy(sweep.key, run.key, sizeof sweep.key);
            sweep.counter = run.request.counter;
            sweep.blocks = (remaining + kBlockDraws - 1) / kBlockDraws;
            sweep.last_draws = static_cast<std::uint32_t>(remaining - kBlockDraws * (sweep.blocks - 1));
            sweep.phase = phase;
        }
        return finish(run, false, clock, 0.0);
    }

    bool finish(LiveRun& run, bool met, double latency, double fidelity) {
        slots_.set(run.index, met, latency, fidelity);
        totals_.successes += met ? 1 : 0;
        totals_.attempts_per_hop += run.rounds;
        totals_.keystream_words += 2 * (run.rounds * hops_ + run.loss_draws);
        run.need = Need::kNothing;
        return true;
    }

    // Gives lane l the next piece of the queued sweeps; false when none is left.
    bool take_sweep(unsigned l) {
        if (sweep_next_ == sweeps_.size()) return false;
        Sweep& sweep = sweeps_[sweep_next_];
        const std::uint64_t blocks = sweep.blocks < kSweepPieceBlocks ? sweep.blocks : kSweepPieceBlocks;
        std::uint64_t draws = kBlockDraws * blocks;
        if (blocks == sweep.blocks) draws -= kBlockDraws - sweep.last_draws;
        const std::uint32_t* row = rows_ + kBlockWords * sweep.phase;
        for (unsigned i = 0; i < 8; ++i) sweep_inputs_[(4 + i) * lanes_ + l] = sweep.key[i];
        sweep_inputs_[12 * lanes_ + l] = static_cast<std::uint32_t>(sweep.counter);
        sweep_inputs_[13 * lanes_ + l] = static_cast<std::uint32_t>(sweep.counter >> 32);
        for (unsigned i = 0; i < kBlockWords; ++i) sweep_thresholds_[i * lanes_ + l] = row[i];
        sweep_draws_left_[l] = static_cast<std::uint32_t>(draws);
        sweep_blocks_left_[l] = static_cast<std::uint32_t>(blocks);
        if (blocks == sweep.blocks) {
            ++sweep_next_;
        } else {
            sweep.counter += blocks;
            sweep.blocks -= blocks;
            sweep.phase = piece_phase_[sweep.phase];
        }
        return true;
    }

    // Counts queued draws with every lane busy; with `drain`, also with fewer
    // lanes, until nothing is left. Each kernel call runs as many blocks as
    // the lane nearest the end of its piece has left.
    void sweep(bool drain) {
        for (;;) {
            bool idle = false;
            std::uint32_t blocks = UINT32_MAX;
            for (unsigned l = 0; l < lanes_; ++l) {
                if (sweep_blocks_left_[l] == 0 && !take_sweep(l)) {
                    idle = true;
                    continue;
                }
                if (sweep_blocks_left_[l] < blocks) blocks = sweep_blocks_left_[l];
            }
            if (blocks == UINT32_MAX || (idle && !drain)) return;
            stop_.poll();
            totals_.drops += kernel_.count_at_least(sweep_inputs_, sweep_thresholds_, sweep_draws_left_, blocks,
                                                    rotate_, ChaCha12Generator::kDoubleRounds);
            for (unsigned l = 0; l < lanes_; ++l) {
                sweep_blocks_left_[l] = sweep_blocks_left_[l] > blocks ? sweep_blocks_left_[l] - blocks : 0;
            }
        }
    }

    const RoundRules rules_;
    const double budget_;
    const double cutoff_;
    const double beta_;
    const double start_fidelity_;
    std::uint64_t purified_from_;  // bits of the fidelity last purified
    double purified_to_;
    // How a first round in which every hop generated a pair ends, with no
    // pair lost ([0]) and with one lost ([1]); valid when first_round_known_.
    bool first_round_known_ = false;
    RoundEnd first_round_[2] = {};
    const KeystreamKernel& kernel_;
    const unsigned lanes_;
    const unsigned hops_;
    const std::uint64_t first_seed_;
    const std::uint64_t count_;
    const RunSlots slots_;
    RunTotals& totals_;
    AbandonedRoundsMemo& memo_;
    const StopCheck& stop_;

    std::uint64_t bound_[kMaxLaneHops];
    // The losing threshold of draw i of a buffer whose head starts a round
    // (a buffer holds at most two blocks of draws).
    std::uint64_t buffer_thresholds_[2 * kBlockDraws];
    alignas(64) std::uint32_t rows_[kBlockWords * kMaxLaneHops];
    // The hop of the first draw of a piece after one whose first draw belongs to hop q.
    std::uint32_t piece_phase_[kMaxLaneHops];
    // From one block to the next, draw k has the hop that draw
    // rotate_[k] = (k + 8) mod hops had; null when the hop count divides 8
    // (every block starts with the same hop) or every hop has the same bound
    // (every draw has the same threshold), which spares the kernel moving
    // thresholds.
    std::uint8_t next_draw_[kBlockDraws];
    const std::uint8_t* rotate_ = nullptr;

    std::uint64_t next_run_ = 0;
    alignas(64) std::uint32_t fresh_keys_[8 * kMaxKernelLanes];
    alignas(64) std::uint32_t fresh_request_blocks_[kBlockWords * kMaxKernelLanes];
    alignas(64) std::uint32_t fresh_loss_blocks_[kBlockWords * kMaxKernelLanes];

    // Runs waiting for blocks (busy_) and free places (free_).
    LiveRun pool_[kPoolRuns];
    unsigned busy_[kPoolRuns];
    unsigned busy_count_ = 0;
    unsigned free_[kPoolRuns];
    unsigned free_count_ = 0;
    alignas(64) std::uint32_t pool_inputs_[kBlockWords * kMaxKernelLanes];
    alignas(64) std::uint32_t pool_blocks_[kBlockWords * kMaxKernelLanes];

    std::vector<Sweep> sweeps_;
    std::size_t sweep_next_ = 0;
    alignas(64) std::uint32_t sweep_inputs_[kBlockWords * kMaxKernelLanes];
    alignas(64) std::uint32_t sweep_thresholds_[kBlockWords * kMaxKernelLanes];
    alignas(64) std::uint32_t sweep_draws_left_[kMaxKernelLanes];
    std::uint32_t sweep_blocks_left_[kMaxKernelLanes];
};

}  // namespace

bool runs_in_lanes(const RequestPlan& plan) {
    if (std::endian::native != std::endian::little || plan.ends_early) return false;
    const std::size_t hops = plan.hop_win_bound.size();
    if (hops == 0 || hops > kMaxLaneHops) return false;
    for (const std::uint64_t bound : plan.hop_win_bound) {
        if (bound >= (std::uint64_t{1} << 52)) return false;
    }
    return true;
}

void run_in_lanes(const RequestPlan& plan, const LaneBatch& batch) {
    LaneRunner runner(plan, batch);
    runner.run();
}

}  // namespace vorn

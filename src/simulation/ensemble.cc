#include "simulation/ensemble.h"

#include <bit>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "threads/call_workers.h"
#include "random/chacha12.h"
#include "random/keystream_kernel.h"
#include "simulation/lane_runs.h"
#include "simulation/request_plan.h"
#include "simulation/round_loop.h"
#include "simulation/simulate_request.h"
#include "threads/thread_count.h"

namespace vorn {
namespace {

// Nanoseconds since the Unix epoch (seconds x 1e9 + sub-second part, wrapping),
// or 0 for a clock set before the epoch.
std::uint64_t clock_seed() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    if (since_epoch.count() < 0) return 0;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
    const auto subsecond = std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch - seconds);
    return static_cast<std::uint64_t>(seconds.count()) * 1'000'000'000ULL +
           static_cast<std::uint64_t>(subsecond.count());
}

// Runs per chunk: the unit of work of a worker and of the in-order sums.
constexpr std::uint64_t kChunkRuns = 2048;

// The per-run values of one chunk, kept until they are added in run order.
// Runs update the totals as they go, and neighbouring slots of the ring are
// filled by different threads at the same time: each chunk has its own cache
// lines.
struct alignas(64) Chunk {
    std::unique_ptr<double[]> latency;
    std::unique_ptr<double[]> fidelity;
    std::unique_ptr<bool[]> success;
    RunTotals totals;
    std::uint64_t count = 0;

    explicit Chunk(std::uint64_t capacity)
        : latency(new double[capacity]), fidelity(new double[capacity]), success(new bool[capacity]) {}
    RunSlots slots() const { return {latency.get(), fidelity.get(), success.get()}; }
};

// The first keystream block of both generators of `lanes` consecutive runs,
// and the second of the generation stream, computed side by side in one
// kernel call each: most runs read only a few words, so these blocks are much
// of their keystream.
struct FirstBlocks {
    alignas(64) std::uint32_t request_inputs[16 * kMaxKernelLanes];
    alignas(64) std::uint32_t loss_inputs[16 * kMaxKernelLanes];
    alignas(64) std::uint32_t request_blocks[16 * kMaxKernelLanes];
    alignas(64) std::uint32_t request_second_blocks[16 * kMaxKernelLanes];
    alignas(64) std::uint32_t loss_blocks[16 * kMaxKernelLanes];
    ChaChaState request_states[kMaxKernelLanes];
    ChaChaState loss_states[kMaxKernelLanes];

    // The runs seeded first_seed .. first_seed + count - 1 (count <= kernel
    // lanes); unused lanes compute a block nobody reads.
    void compute(const KeystreamKernel& kernel, std::uint64_t first_seed, unsigned count) {
        const unsigned lanes = kernel.lanes;
        for (unsigned l = 0; l < lanes; ++l) {
            const ChaCha12Generator::Key key = ChaCha12Generator::key_from_u64(first_seed + (l < count ? l : 0));
            // Run i: generation draws from seed base + i, stream 0; memory-loss
            // draws from the same key on stream 1.
            request_states[l] = ChaCha12Generator::input_state(key, 0);
            loss_states[l] = ChaCha12Generator::input_state(key, 1);
            for (unsigned i = 0; i < 16; ++i) {
                request_inputs[i * lanes + l] = request_states[l][i];
                loss_inputs[i * lanes + l] = loss_states[l][i];
            }
        }
        kernel.states(request_inputs, ChaCha12Generator::kDoubleRounds, request_blocks);
        // Block 1 of the generation stream too: a run that is abandoned (or
        // takes a few rounds) reads past block 0, and one block computed
        // alone costs several times its share of a kernel call.
        for (unsigned l = 0; l < lanes; ++l) request_inputs[12 * lanes + l] = 1;
        kernel.states(request_inputs, ChaCha12Generator::kDoubleRounds, request_second_blocks);
        kernel.states(loss_inputs, ChaCha12Generator::kDoubleRounds, loss_blocks);
    }
};

// Runs [first, first + count) of the ensemble into `chunk`.
void run_chunk(const RequestPlan& plan, std::uint64_t base, std::uint64_t first, std::uint64_t count, Chunk& chunk,
               const StopCheck& stop) {
    chunk.count = count;
    chunk.totals = {};
    const KeystreamKernel& kernel = best_keystream_kernel();
    AbandonedRoundsMemo memo;
    if (runs_in_lanes(plan)) {
        // Seeded ensembles repeat exactly: run i's streams depend on base + i only.
        run_in_lanes(plan, {kernel, base + first, count, chunk.slots(), chunk.totals, memo, stop});
        return;
    }
    FirstBlocks blocks;
    for (std::uint64_t j = 0; j < count; ++j) {
        stop.poll();
        if (plan.ends_early) {
            chunk.slots().set(j, false, plan.early_latency_ms, 0.0);
            continue;
        }
        const unsigned lane = static_cast<unsigned>(j % kernel.lanes);
        if (lane == 0) {
            const std::uint64_t left = count - j;
            blocks.compute(kernel, base + first + j, left < kernel.lanes ? static_cast<unsigned>(left) : kernel.lanes);
        }
        // Seeded ensembles repeat exactly: run i's streams depend on base + i only.
        ChaCha12Generator request_generator(blocks.request_states[lane], blocks.request_blocks + 16 * lane,
                                            blocks.request_second_blocks + 16 * lane);
        ChaCha12Generator loss_generator(blocks.loss_states[lane], blocks.loss_blocks + 16 * lane);
        std::uint64_t run_drops = 0;
        const RoundsResult result = run_rounds(plan, run_drops, request_generator, loss_generator, stop, 0.0, &memo);
        chunk.slots().set(j, result.success, result.latency_ms, result.fidelity);
        chunk.totals.successes += result.success ? 1 : 0;
        chunk.totals.drops += run_drops;
        chunk.totals.attempts_per_hop += result.rounds;
        chunk.totals.keystream_words += request_generator.words_drawn() + loss_generator.words_drawn();
    }
}

// The running sums, fed chunk after chunk in run order.
struct Sums {
    RunTotals totals;
    double fidelity_sum = 0.0;
    double latency_sum = 0.0;

    void add(const Chunk& chunk) {
        // A failed run adds +0.0 (its fidelity's bits masked off), which
        // leaves the sum as it was (it starts at +0.0 and never becomes
        // -0.0): the same sum without a branch on each run's outcome, which
        // mispredicts. The sums stay in registers through the chunk.
        double fidelities = fidelity_sum;
        double latencies = latency_sum;
        for (std::uint64_t j = 0; j < chunk.count; ++j) {
            const std::uint64_t keep = std::uint64_t{0} - static_cast<std::uint64_t>(chunk.success[j]);
            fidelities += std::bit_cast<double>(std::bit_cast<std::uint64_t>(chunk.fidelity[j]) & keep);
            latencies += chunk.latency[j];
        }
        fidelity_sum = fidelities;
        latency_sum = latencies;
        totals.add(chunk.totals);
    }
};

std::uint64_t chunk_count(std::uint64_t runs) { return runs / kChunkRuns + (runs % kChunkRuns != 0 ? 1 : 0); }

std::uint64_t chunk_size(std::uint64_t runs, std::uint64_t index) {
    const std::uint64_t first = index * kChunkRuns;
    return runs - first < kChunkRuns ? runs - first : kChunkRuns;
}

Sums run_on_calling_thread(const RequestPlan& plan, std::uint64_t base, std::uint64_t runs, const StopCheck& stop) {
    Sums sums;
    if (runs == 0) return sums;
    Chunk chunk(runs < kChunkRuns ? runs : kChunkRuns);
    const std::uint64_t chunks = chunk_count(runs);
    for (std::uint64_t c = 0; c < chunks; ++c) {
        run_chunk(plan, base, c * kChunkRuns, chunk_size(runs, c), chunk, stop);
        sums.add(chunk);
    }
    return sums;
}

// The calling thread and threads - 1 workers take chunks in order and fill a
// ring of slots. Whichever thread finishes a chunk adds every finished chunk
// that is next in run order to the sums (a few microseconds under the lock)
// and frees its slot, so the sums never wait for a particular thread to be
// scheduled; a thread waits for its slot only while the additions are a whole
// ring behind (the calling thread polling its check meanwhile).
Sums run_on_workers(const RequestPlan& plan, std::uint64_t base, std::uint64_t runs, unsigned threads,
                    const StopCheck& stop) {
    const std::uint64_t chunks = chunk_count(runs);
    const std::uint64_t workers = threads < chunks ? threads : chunks;
    const std::uint64_t slots = 4 * workers + 4;
    constexpr std::uint64_t kFree = UINT64_MAX;

    std::vector<Chunk> ring;
    std::vector<std::uint64_t> filled(slots, kFree);  // chunk held by each slot; guarded by the team's mutex
    ring.reserve(slots);
    for (std::uint64_t s = 0; s < slots; ++s) ring.emplace_back(kChunkRuns);
    std::uint64_t next = 0;      // next chunk to claim; guarded
    std::uint64_t consumed = 0;  // chunks added so far; guarded
    Sums sums;                   // guarded

    CallWorkers team;
    const CallWorkers::Body take_chunks = [&](const StopCheck& own_stop) {
        for (;;) {
            std::uint64_t c;
            {
                std::unique_lock<std::mutex> lock(team.mutex());
                if (next >= chunks) return;
                c = next++;
                const auto slot_free = [&] { return team.cancelled() || c < consumed + slots; };
                while (!team.worker_condition().wait_for(lock, StopCheck::kInterval, slot_free)) {
                    lock.unlock();
                    own_stop.check_now();  // throws Stopped
                    lock.lock();
                }
                if (team.cancelled()) return;
            }
            run_chunk(plan, base, c * kChunkRuns, chunk_size(runs, c), ring[c % slots], own_stop);
            bool freed = false;
            {
                std::lock_guard<std::mutex> lock(team.mutex());
                filled[c % slots] = c;
                while (consumed < chunks && filled[consumed % slots] == consumed) {
                    sums.add(ring[consumed % slots]);
                    filled[consumed % slots] = kFree;
                    ++consumed;
                    freed = true;
                }
            }
            if (freed) {
                team.notify_workers();
                team.notify_caller();
            }
        }
    };
    for (std::uint64_t w = 1; w < workers; ++w) {
        if (!team.spawn(take_chunks)) break;  // the threads that started do all the work
    }
    team.work_and_wait(take_chunks, stop, [&] {
        std::lock_guard<std::mutex> lock(team.mutex());
        return consumed == chunks;
    });
    return sums;
}

}  // namespace

EnsembleOutcome run_ensemble(const NetworkGraph& graph, const EngineConfig& config, const EntanglementRequest& request,
                             std::uint64_t runs, std::optional<std::uint64_t> seed, const StopCheck& stop,
                             unsigned threads) {
    if (threads == 0) threads = call_thread_count();
    const std::uint64_t base = seed ? *seed : clock_seed();

    // The route and every per-hop constant depend on the graph and the
    // request only; the runs differ in their random streams alone.
    const RequestPlan plan = plan_request(graph, config, request, stop);

    const bool parallel = threads > 1 && !plan.ends_early && runs >= kParallelEnsembleRuns;
    const Sums sums =
        parallel ? run_on_workers(plan, base, runs, threads, stop) : run_on_calling_thread(plan, base, runs, stop);

    EnsembleOutcome outcome;
    add_link_usage(outcome.link_usage, plan.path, sums.totals.attempts_per_hop);
    outcome.total_runs = runs;
    outcome.empirical_success_rate = static_cast<double>(sums.totals.successes) / static_cast<double>(runs);
    outcome.mean_latency_ms = sums.latency_sum / static_cast<double>(runs);
    outcome.mean_fidelity =
        sums.totals.successes >= 1 ? sums.fidelity_sum / static_cast<double>(sums.totals.successes) : 0.0;
    outcome.aggregate_congestion_drops = sums.totals.drops;
    outcome.keystream_words = sums.totals.keystream_words;
    return outcome;
}

}  // namespace vorn

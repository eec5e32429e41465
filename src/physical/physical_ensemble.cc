#include "physical/physical_ensemble.h"

#include <mutex>

#include "physical/chain_plan.h"
#include "physical/chain_run.h"
#include "physical/delivery_histogram.h"
#include "threads/call_workers.h"
#include "random/chacha12.h"
#include "random/chacha_constants.h"
#include "random/keystream_kernel.h"
#include "threads/thread_count.h"

namespace vorn {
namespace {

// The real-valued sums of one chunk, added in run order within it; the
// chunks' sums are added in chunk order afterwards.
// Chunks per round of worker threads (a million runs).
constexpr std::uint64_t kChunksPerRound = 256;

struct ChunkSums {
    std::uint64_t delivered = 0;
    std::uint64_t successes = 0;
    std::uint64_t abandoned = 0;
    double delivery_ms = 0.0;
    double fidelity = 0.0;
    double elapsed_ms = 0.0;
};

// Block 0 of the generators of up to `lanes` consecutive runs, computed side
// by side in one kernel call: most runs read only a few words of it.
struct FirstRunBlocks {
    alignas(64) std::uint32_t inputs[16 * kMaxKernelLanes];
    alignas(64) std::uint32_t blocks[16 * kMaxKernelLanes];
    ChaChaState states[kMaxKernelLanes];

    // Runs seeded first_seed .. first_seed + count - 1; unused lanes compute
    // a block nobody reads.
    void compute(const KeystreamKernel& kernel, std::uint64_t first_seed, unsigned count) {
        const unsigned lanes = kernel.lanes;
        for (unsigned l = 0; l < lanes; ++l) {
            // input_state(key_from_u64(seed), 0), built from the key words directly.
            ChaChaState& state = states[l];
            for (unsigned i = 0; i < 4; ++i) state[i] = kChaChaSigma[i];
            ChaCha12Generator::key_words_from_u64(first_seed + (l < count ? l : 0), state.data() + 4);
            for (unsigned i = 12; i < 16; ++i) state[i] = 0;
            for (unsigned i = 0; i < 16; ++i) inputs[i * lanes + l] = state[i];
        }
        kernel.states(inputs, ChaCha12Generator::kDoubleRounds, blocks);
    }
};

// Runs [first, first + count) of the ensemble.
void run_chunk(const ChainPlan& plan, std::uint64_t seed, std::uint64_t first, std::uint64_t count, ChunkSums& sums,
               DeliveryHistogram& histogram, std::vector<std::uint64_t>& attempts, const StopCheck& stop) {
    ChainRunner runner(plan);
    const KeystreamKernel& kernel = best_keystream_kernel();
    FirstRunBlocks blocks;
    for (std::uint64_t j = 0; j < count; ++j) {
        stop.poll();
        const unsigned lane = static_cast<unsigned>(j % kernel.lanes);
        if (lane == 0) {
            const std::uint64_t left = count - j;
            blocks.compute(kernel, seed + first + j, left < kernel.lanes ? static_cast<unsigned>(left) : kernel.lanes);
        }
        // Run i draws from seed_from_u64(seed + i) alone.
        ChaCha12Generator generator(blocks.states[lane], blocks.blocks + 16 * lane);
        const ChainRunResult run = runner.run(generator, attempts.data());
        sums.elapsed_ms += run.elapsed_ms;
        sums.abandoned += run.abandoned ? 1 : 0;
        if (!run.delivered) continue;
        ++sums.delivered;
        sums.successes += run.success ? 1 : 0;
        sums.delivery_ms += run.delivery_ms;
        sums.fidelity += run.fidelity;
        histogram.add(run.delivery_ms);
    }
}

}  // namespace

PhysicalTotals run_physical_ensemble(const NetworkTopologyPayload& network, const EntanglementRequest& request,
                                     const PhysicalModel& model, std::uint64_t runs, std::uint64_t seed,
                                     const StopCheck& stop, unsigned threads) {
    if (threads == 0) threads = call_thread_count();
    // The route and every per-hop constant are the same for every run.
    const ChainPlan plan = plan_chain(network, request, model, stop);

    PhysicalTotals totals;
    totals.total_runs = runs;
    totals.path = plan.path;
    totals.signalling_ms = plan.signalling_ms;
    // A request that can never deliver runs no attempt.
    if (!plan.can_deliver) return totals;

    const std::uint64_t chunks = runs / kPhysicalChunkRuns + (runs % kPhysicalChunkRuns != 0 ? 1 : 0);
    // Chunks run in rounds of at most kChunksPerRound, whose sums are added
    // in chunk order before the next round starts: memory stays bounded for
    // any number of runs.
    std::vector<ChunkSums> chunk_sums(chunks < kChunksPerRound ? chunks : kChunksPerRound);
    DeliveryHistogram histogram;
    std::vector<std::uint64_t> attempts(plan.hops(), 0);
    std::mutex merge_mutex;  // guards histogram and attempts
    for (std::uint64_t round_first = 0; round_first < chunks; round_first += kChunksPerRound) {
        const std::uint64_t round_chunks =
            chunks - round_first < kChunksPerRound ? chunks - round_first : kChunksPerRound;
        run_tasks(round_chunks, threads, stop, [&](std::uint64_t slot, const StopCheck& task_stop) {
            const std::uint64_t first = (round_first + slot) * kPhysicalChunkRuns;
            const std::uint64_t count = runs - first < kPhysicalChunkRuns ? runs - first : kPhysicalChunkRuns;
            DeliveryHistogram chunk_histogram;
            std::vector<std::uint64_t> chunk_attempts(plan.hops(), 0);
            // Summed locally: neighbouring slots belong to chunks that other threads run.
            ChunkSums sums;
            run_chunk(plan, seed, first, count, sums, chunk_histogram, chunk_attempts, task_stop);
            chunk_sums[slot] = sums;
            // Whole counts add up the same in any order.
            std::lock_guard<std::mutex> lock(merge_mutex);
            histogram.add(chunk_histogram);
            for (std::size_t h = 0; h < attempts.size(); ++h) {
                attempts[h] =
                    chunk_attempts[h] > UINT64_MAX - attempts[h] ? UINT64_MAX : attempts[h] + chunk_attempts[h];
            }
        });
        for (std::uint64_t slot = 0; slot < round_chunks; ++slot) {
            const ChunkSums& sums = chunk_sums[slot];
            totals.delivered += sums.delivered;
            totals.successes += sums.successes;
            totals.abandoned += sums.abandoned;
            totals.delivery_ms_sum += sums.delivery_ms;
            totals.fidelity_sum += sums.fidelity;
            totals.elapsed_ms_sum += sums.elapsed_ms;
        }
    }
    for (std::size_t h = 0; h < attempts.size(); ++h) totals.attempts_per_link[plan.hop_keys[h]] += attempts[h];
    totals.delivery_histogram = histogram.counts_by_midpoint();
    return totals;
}

}  // namespace vorn

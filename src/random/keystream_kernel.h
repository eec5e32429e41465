// Keystream kernels: ChaCha blocks several at a time, one per vector lane,
// chosen at run time by what the CPU supports. Every kernel yields exactly
// the blocks of the scalar block function; only the speed differs.
#pragma once

#include <cstdint>
#include <span>

namespace vorn {

struct KeystreamKernel {
    const char* name;
    // Blocks per call (a power of two, at most kMaxKernelLanes).
    unsigned lanes;
    // Blocks counter .. counter + lanes - 1 of the 16-word input state
    // (whose words 12-13 are ignored), block after block: word i of block
    // counter + l at out[16 * l + i]. `double_rounds` 6 is ChaCha12.
    void (*blocks)(const std::uint32_t* input, std::uint64_t counter, int double_rounds, std::uint32_t* out);
    // One block of each of `lanes` input states given lane-major (word i of
    // state l at inputs[i * lanes + l]), block l at out[16 * l ..]: the first
    // blocks of several generators at the cost of one kernel call.
    void (*states)(const std::uint32_t* inputs, int double_rounds, std::uint32_t* out);
    // The generators seeded first_seed, first_seed + 1, ..., first_seed +
    // lanes - 1 (seed l wrapping like a 64-bit sum), expanded to keys side by
    // side as ChaCha12Generator::key_words_from_u64 does one at a time: key
    // word i of generator l at keys[i * lanes + l]; block 0 of its stream 0
    // and of its stream 1 lane-major too: word i at stream0[i * lanes + l]
    // and stream1[i * lanes + l].
    void (*seeded_first_blocks)(std::uint64_t first_seed, int double_rounds, std::uint32_t* keys,
                                std::uint32_t* stream0, std::uint32_t* stream1);
    // Sweeps over `lanes` streams at once, storing no keystream: `blocks`
    // consecutive blocks of each lane's input state (lane-major as `states`)
    // from its counter (input words 12-13). Each block is read as 8 draws of
    // two words (low word first) and compared with the lane's 64-bit
    // thresholds (lane-major: draw k's low word at thresholds[2k * lanes +
    // l], its high word in row 2k + 1); a draw counts when it is at or above
    // its threshold and among the first draws_left[l] of lane l, which then
    // drops by 8 (to no less than 0). Between blocks draw k takes the
    // threshold that draw next[k] had (next null: thresholds stay). Counters,
    // thresholds and draws_left are written back. Returns the count over all
    // lanes and blocks.
    std::uint64_t (*count_at_least)(std::uint32_t* inputs, std::uint32_t* thresholds, std::uint32_t* draws_left,
                                    unsigned blocks, const std::uint8_t* next, int double_rounds);
    // Whether this CPU can run the kernel.
    bool (*supported)();
};

inline constexpr unsigned kMaxKernelLanes = 16;

// Every kernel built into this module, portable first (it runs anywhere).
std::span<const KeystreamKernel> keystream_kernels();

// The kernel that new generators use: the widest this CPU supports, decided
// once per process.
const KeystreamKernel& best_keystream_kernel();

// Benchmarks only: makes generators created from now on use `kernel`, which
// the CPU must support (one process compares the kernels this way).
void use_keystream_kernel(const KeystreamKernel& kernel);

// Kernels for x86-64, each in its own file compiled for its instruction set;
// null when the build has none. Their `supported` member is left null: the
// registry fills it with a check compiled for the baseline instruction set.
const KeystreamKernel* avx2_keystream_kernel();
const KeystreamKernel* avx512_keystream_kernel();

}  // namespace vorn

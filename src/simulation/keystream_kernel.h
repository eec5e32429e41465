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
    // One block of each of `lanes` input states (lane-major, as `states`),
    // not written out but read as 8 draws of two words each (low word first)
    // and compared with 64-bit thresholds: lane l's 16 threshold words (draw
    // k's low word at 2k, high word at 2k + 1) are at rows + 16 * row[l], and
    // the draws k < end[l] that are at or above their threshold are counted.
    // Returns the count over all lanes: a sweep over many streams' draws that
    // stores no keystream.
    std::uint64_t (*count_at_least)(const std::uint32_t* inputs, const std::uint32_t* rows, const std::uint32_t* row,
                                    const std::uint32_t* end, int double_rounds);
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

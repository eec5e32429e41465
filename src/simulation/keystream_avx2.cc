// The 8-lane keystream kernel. CMake compiles this file with the avx2
// instruction set on x86-64; keystream_kernel.cc checks the CPU
// before it is ever called, and nothing else in this file runs.
#include "simulation/keystream_kernel.h"

#if defined(__x86_64__) && defined(VORN_KERNEL_AVX2)
#include "simulation/chacha_lanes.h"

namespace vorn {
namespace {

typedef std::uint32_t Lanes8 __attribute__((vector_size(32)));

void avx2_blocks(const std::uint32_t* input, std::uint64_t counter, int double_rounds, std::uint32_t* out) {
    lanes_blocks<Lanes8, 8>(input, counter, double_rounds, out);
}

void avx2_states(const std::uint32_t* inputs, int double_rounds, std::uint32_t* out) {
    lanes_states<Lanes8, 8>(inputs, double_rounds, out);
}

std::uint64_t avx2_count_at_least(std::uint32_t* inputs, std::uint32_t* thresholds, std::uint32_t* draws_left,
                             unsigned blocks, const std::uint8_t* next, int double_rounds) {
    return lanes_count_at_least<Lanes8, 8>(inputs, thresholds, draws_left, blocks, next, double_rounds);
}


constexpr KeystreamKernel kKernel{"avx2", 8, &avx2_blocks, &avx2_states, &avx2_count_at_least, nullptr};

}  // namespace

const KeystreamKernel* avx2_keystream_kernel() { return &kKernel; }

}  // namespace vorn
#else
namespace vorn {
const KeystreamKernel* avx2_keystream_kernel() { return nullptr; }
}  // namespace vorn
#endif

// The 16-lane keystream kernel. CMake compiles this file with the avx512
// instruction set on x86-64; keystream_kernel.cc checks the CPU
// before it is ever called, and nothing else in this file runs.
#include "random/keystream_kernel.h"

#if defined(__x86_64__) && defined(VORN_KERNEL_AVX512)
#include "random/chacha_lanes.h"

namespace vorn {
namespace {

typedef std::uint32_t Lanes16 __attribute__((vector_size(64)));

constexpr KeystreamKernel kKernel = lanes_kernel<Lanes16, 16>("avx512");

}  // namespace

const KeystreamKernel* avx512_keystream_kernel() { return &kKernel; }

}  // namespace vorn
#else
namespace vorn {
const KeystreamKernel* avx512_keystream_kernel() { return nullptr; }
}  // namespace vorn
#endif

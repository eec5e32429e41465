// The 8-lane keystream kernel. CMake compiles this file with the avx2
// instruction set on x86-64; keystream_kernel.cc checks the CPU
// before it is ever called, and nothing else in this file runs.
#include "random/keystream_kernel.h"

#if defined(__x86_64__) && defined(VORN_KERNEL_AVX2)
#include "random/chacha_lanes.h"

namespace vorn {
namespace {

typedef std::uint32_t Lanes8 __attribute__((vector_size(32)));

constexpr KeystreamKernel kKernel = lanes_kernel<Lanes8, 8>("avx2");

}  // namespace

const KeystreamKernel* avx2_keystream_kernel() { return &kKernel; }

}  // namespace vorn
#else
namespace vorn {
const KeystreamKernel* avx2_keystream_kernel() { return nullptr; }
}  // namespace vorn
#endif

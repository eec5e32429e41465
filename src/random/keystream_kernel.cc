#include "random/keystream_kernel.h"

#include <array>
#include <atomic>

#include "random/chacha_lanes.h"

namespace vorn {
namespace {

// Four lanes of the compiler's generic vectors: SSE2 on x86-64, NEON on
// arm64, plain words elsewhere.
typedef std::uint32_t Lanes4 __attribute__((vector_size(16)));

bool always() { return true; }

// CPU checks for the wide kernels, compiled for the baseline instruction set.
#if defined(__x86_64__)
bool has_avx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
bool has_avx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}
#else
bool has_avx2() { return false; }
bool has_avx512() { return false; }
#endif

constexpr KeystreamKernel kPortable = lanes_kernel<Lanes4, 4>("portable", &always);

struct Registry {
    std::array<KeystreamKernel, 3> kernels{};
    std::size_t count = 0;
    const KeystreamKernel* best = nullptr;

    Registry() {
        kernels[count++] = kPortable;
        if (const KeystreamKernel* wide = avx2_keystream_kernel()) {
            kernels[count] = *wide;
            kernels[count++].supported = &has_avx2;
        }
        if (const KeystreamKernel* wide = avx512_keystream_kernel()) {
            kernels[count] = *wide;
            kernels[count++].supported = &has_avx512;
        }
        best = &kernels[0];
        for (std::size_t k = 0; k < count; ++k) {
            if (kernels[k].supported() && kernels[k].lanes > best->lanes) best = &kernels[k];
        }
    }
};

const Registry& registry() {
    static const Registry instance;
    return instance;
}

std::atomic<const KeystreamKernel*>& chosen() {
    static std::atomic<const KeystreamKernel*> kernel{registry().best};
    return kernel;
}

}  // namespace

std::span<const KeystreamKernel> keystream_kernels() { return {registry().kernels.data(), registry().count}; }

const KeystreamKernel& best_keystream_kernel() { return *chosen().load(std::memory_order_relaxed); }

void use_keystream_kernel(const KeystreamKernel& kernel) { chosen().store(&kernel, std::memory_order_relaxed); }

}  // namespace vorn

// The calling thread's own random generator: a ChaCha12 stream keyed from
// the operating system's entropy source on first use and re-keyed from it
// every kRekeyBlocks blocks. Its output is not reproducible; it feeds the
// memory-loss draws of single requests.
#pragma once

#include <cstdint>

#include "random/chacha12.h"

namespace vorn {

class ThreadGenerator {
public:
    // 64 KiB of keystream between two keys.
    static constexpr std::uint64_t kRekeyBlocks = 1024;

    std::uint32_t next_u32() {
        rekey_if_due();
        return generator_.next_u32();
    }
    std::uint64_t next_u64() {
        rekey_if_due();
        return generator_.next_u64();
    }
    double uniform_closed01() { return closed01_from_bits(next_u64()); }
    double uniform_range(double a, double b) {
        rekey_if_due();
        return generator_.uniform_range(a, b);
    }

private:
    friend ThreadGenerator& thread_generator();
    // Throws InternalFault "could not initialize thread_rng: ..." when the
    // entropy source fails.
    ThreadGenerator();
    ThreadGenerator(const ThreadGenerator&) = delete;
    ThreadGenerator& operator=(const ThreadGenerator&) = delete;

    void rekey_if_due() {
        if (generator_.blocks_generated() >= kRekeyBlocks) rekey();
    }
    void rekey();

    ChaCha12Generator generator_;
};

// The calling thread's generator, created (and keyed) on first use.
ThreadGenerator& thread_generator();

// Fills `key` from the operating system's cryptographic random source.
// Returns 0 on success, else the system error number.
int read_os_entropy(ChaCha12Generator::Key& key);

}  // namespace vorn

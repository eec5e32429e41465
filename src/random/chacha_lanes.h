// The ChaCha rounds over W blocks at once, one block per vector lane, for the
// keystream kernels. Each kernel file includes this header and instantiates
// it with its own vector width under its own instruction-set flags.
//
// Everything here sits in an anonymous namespace on purpose: a kernel file is
// compiled for AVX2 or AVX-512, and a shared (inline or template) definition
// with external linkage could be merged by the linker with a copy from
// another file, putting wide instructions on a path that must run on any
// x86-64 CPU. Internal linkage keeps every copy with the file that made it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "random/chacha_constants.h"
#include "random/chacha_rounds.h"
#include "random/keystream_kernel.h"

namespace {

// One step of a W x W transpose: rows a (index bit b clear) and c (bit b
// set) exchange the lanes whose bit b differs from the row's, d = 2^b.
template <class V, unsigned W, unsigned D, std::size_t... L>
inline __attribute__((always_inline)) void lanes_exchange(V& a, V& c, std::index_sequence<L...>) {
    const V low = __builtin_shufflevector(a, c, ((L & D) ? W + (L ^ D) : L)...);
    const V high = __builtin_shufflevector(a, c, ((L & D) ? W + L : (L ^ D))...);
    a = low;
    c = high;
}

template <class V, unsigned W, unsigned D>
inline __attribute__((always_inline)) void lanes_transpose_step(V* rows) {
    if constexpr (D < W) {
        for (unsigned i = 0; i < 16; ++i) {
            if ((i & D) == 0) lanes_exchange<V, W, D>(rows[i], rows[i + D], std::make_index_sequence<W>{});
        }
        lanes_transpose_step<V, W, 2 * D>(rows);
    }
}

// Rounds then feed-forward for W input states given lane-major (word i of
// lane l at start[i][l]); the blocks stay lane-major in x.
template <class V, unsigned W>
inline __attribute__((always_inline)) void lanes_keystream(const V (&start)[16], int double_rounds, V (&x)[16]) {
    for (int i = 0; i < 16; ++i) x[i] = start[i];
    chacha_double_rounds(x, double_rounds);
    for (int i = 0; i < 16; ++i) x[i] += start[i];
}

// Rounds then feed-forward for W input states given lane-major; writes each
// lane's block as 16 consecutive words (block l at out + 16 l).
template <class V, unsigned W>
inline __attribute__((always_inline)) void lanes_rounds(const V (&start)[16], int double_rounds, std::uint32_t* out) {
    V x[16];
    lanes_keystream<V, W>(start, double_rounds, x);
    // Each group of W word-vectors is a W x W matrix (word, lane); transposed,
    // its row l holds W consecutive words of block l.
    lanes_transpose_step<V, W, 1>(x);
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned group = i / W;
        const unsigned lane = i % W;
        __builtin_memcpy(out + 16 * lane + W * group, &x[i], sizeof(V));
    }
}

// Blocks counter, counter + 1, ..., counter + W - 1 of the key and stream in
// `input` (16 words; words 12-13 are replaced by each lane's 64-bit counter,
// which wraps like the cipher's), block after block in `out`.
template <class V, unsigned W>
inline __attribute__((always_inline)) void lanes_blocks(const std::uint32_t* input, std::uint64_t counter,
                                                        int double_rounds, std::uint32_t* out) {
    V start[16];
    for (int i = 0; i < 16; ++i) {
        for (unsigned l = 0; l < W; ++l) start[i][l] = input[i];
    }
    for (unsigned l = 0; l < W; ++l) {
        start[12][l] = static_cast<std::uint32_t>(counter + l);
        start[13][l] = static_cast<std::uint32_t>((counter + l) >> 32);
    }
    lanes_rounds<V, W>(start, double_rounds, out);
}

// One block of each of W different input states, given lane-major (word i of
// state l at inputs[i * W + l]); block l at out + 16 l.
template <class V, unsigned W>
inline __attribute__((always_inline)) void lanes_states(const std::uint32_t* inputs, int double_rounds,
                                                        std::uint32_t* out) {
    V start[16];
    for (int i = 0; i < 16; ++i) __builtin_memcpy(&start[i], inputs + i * W, sizeof(V));
    lanes_rounds<V, W>(start, double_rounds, out);
}

// 64-bit lanes as many as a V holds 32-bit ones (spelled out per width: a
// vector size that depends on a template parameter is dropped).
template <unsigned W>
struct lanes_wide;
template <>
struct lanes_wide<4> {
    typedef std::uint64_t type __attribute__((vector_size(32)));
};
template <>
struct lanes_wide<8> {
    typedef std::uint64_t type __attribute__((vector_size(64)));
};
template <>
struct lanes_wide<16> {
    typedef std::uint64_t type __attribute__((vector_size(128)));
};

// After k + 1 key steps the state of seed s + l is that of seed s plus
// l * multiplier^(k + 1) (mod 2^64): offset[k][l].
template <unsigned W>
struct lanes_key_offsets {
    std::uint64_t offset[8][W];

    constexpr lanes_key_offsets() : offset{} {
        std::uint64_t power = 1;
        for (unsigned k = 0; k < 8; ++k) {
            power *= vorn::kKeyStepMultiplier;
            for (unsigned l = 0; l < W; ++l) offset[k][l] = l * power;
        }
    }
};

template <unsigned W>
constexpr lanes_key_offsets<W> kLanesKeyOffsets{};

// Keys of W generators seeded first_seed + l, expanded side by side (the
// eight linear congruential steps of ChaCha12Generator::next_key_word on
// 64-bit lanes), lane-major in keys. This is a vector copy of
// ChaCha12Generator::key_words_from_u64, kept for speed (same constants);
// the KeystreamKernel test seeded_first_blocks_match_the_scalar_key_expansion
// ties every kernel to it; then block 0 of streams 0 and 1 of
// each, left lane-major (no transpose: the runs read a few words of each).
template <class V, unsigned W>
inline __attribute__((always_inline)) void lanes_seeded_first_blocks(std::uint64_t first_seed, int double_rounds,
                                                                     std::uint32_t* keys, std::uint32_t* stream0,
                                                                     std::uint32_t* stream1) {
    // Seed first_seed steps alone; each lane's state is a fixed offset from
    // it, so the lanes need no multiply (64-bit multiplies on the widest
    // vectors, measured on AVX-512, slow the keystream work that follows
    // them, likely by lowering the core's clock).
    typedef typename lanes_wide<W>::type Wide;
    V start[16];
    for (int i = 0; i < 4; ++i) start[i] = V{} + vorn::kChaChaSigma[i];
    std::uint64_t first_state = first_seed;
    for (int i = 0; i < 8; ++i) {
        first_state = first_state * vorn::kKeyStepMultiplier + vorn::kKeyStepIncrement;
        Wide state;
        __builtin_memcpy(&state, kLanesKeyOffsets<W>.offset[i], sizeof state);
        state += first_state;
        const V word = __builtin_convertvector(((state >> 18) ^ state) >> 27, V);  // the low 32 bits
        const V rotation = __builtin_convertvector(state >> 59, V);
        start[4 + i] = (word >> rotation) | (word << ((32 - rotation) & 31));
        __builtin_memcpy(keys + i * W, &start[4 + i], sizeof(V));
    }
    for (int i = 12; i < 16; ++i) start[i] = V{};
    V x[16];
    lanes_keystream<V, W>(start, double_rounds, x);
    for (int i = 0; i < 16; ++i) __builtin_memcpy(stream0 + i * W, &x[i], sizeof(V));
    start[14] = V{} + 1;
    lanes_keystream<V, W>(start, double_rounds, x);
    for (int i = 0; i < 16; ++i) __builtin_memcpy(stream1 + i * W, &x[i], sizeof(V));
}

// `blocks` consecutive blocks of each of W input states (lane-major, as
// lanes_states), from each lane's counter (words 12-13, wrapping like the
// cipher's). Each block is read as 8 draws of two words (low word first)
// compared with the lane's 64-bit thresholds (lane-major: draw k's low word
// in row 2k, high word in row 2k + 1); a draw counts when it is at or above
// its threshold and among the first draws_left[l] of lane l, which then drops
// by 8 (to no less than 0). Between blocks draw k takes the threshold that
// draw next[k] had (null: thresholds stay). The advanced counters, the
// thresholds and draws_left are written back. Returns the count over all
// lanes and blocks.
template <class V, unsigned W>
inline __attribute__((always_inline)) std::uint64_t lanes_count_at_least(std::uint32_t* inputs,
                                                                         std::uint32_t* thresholds,
                                                                         std::uint32_t* draws_left, unsigned blocks,
                                                                         const std::uint8_t* next, int double_rounds) {
    V start[16];
    for (int i = 0; i < 16; ++i) __builtin_memcpy(&start[i], inputs + i * W, sizeof(V));
    V t[16];
    for (int i = 0; i < 16; ++i) __builtin_memcpy(&t[i], thresholds + i * W, sizeof(V));
    V left;
    __builtin_memcpy(&left, draws_left, sizeof(V));
    V count = {};
    for (unsigned b = 0; b < blocks; ++b) {
        V x[16];
        lanes_keystream<V, W>(start, double_rounds, x);
        for (unsigned k = 0; k < 8; ++k) {
            const V low = x[2 * k], high = x[2 * k + 1];
            const V at_least = (V)((high > t[2 * k + 1]) | ((high == t[2 * k + 1]) & (low >= t[2 * k])));
            const V active = (V)((V{} + k) < left);
            count -= at_least & active;  // each true comparison is all ones, that is -1
        }
        left = (left - 8) & (V)(left > (V{} + 8));
        const V counter = start[12] + 1;
        start[13] -= (V)(counter == 0);  // the carry: a true comparison is -1
        start[12] = counter;
        if (next != nullptr) {
            V moved[16];
            for (unsigned k = 0; k < 8; ++k) {
                moved[2 * k] = t[2 * next[k]];
                moved[2 * k + 1] = t[2 * next[k] + 1];
            }
            for (int i = 0; i < 16; ++i) t[i] = moved[i];
        }
    }
    for (int i = 0; i < 16; ++i) __builtin_memcpy(thresholds + i * W, &t[i], sizeof(V));
    __builtin_memcpy(inputs + 12 * W, &start[12], sizeof(V));
    __builtin_memcpy(inputs + 13 * W, &start[13], sizeof(V));
    __builtin_memcpy(draws_left, &left, sizeof(V));
    std::uint64_t total = 0;
    for (unsigned l = 0; l < W; ++l) total += count[l];
    return total;
}

// The table entry of the W-lane kernel built from the functions above, in
// the including file (and so under its instruction set).
template <class V, unsigned W>
constexpr vorn::KeystreamKernel lanes_kernel(const char* name, bool (*supported)() = nullptr) {
    return {name,
            W,
            &lanes_blocks<V, W>,
            &lanes_states<V, W>,
            &lanes_seeded_first_blocks<V, W>,
            &lanes_count_at_least<V, W>,
            supported};
}

}  // namespace

// The ChaCha double rounds, once, over sixteen words that are scalars (one
// block, chacha12.cc) or vectors holding the same word of several blocks
// (the keystream kernels, chacha_lanes.h).
//
// Internal linkage on purpose, as for chacha_lanes.h: each kernel file is
// compiled with its own instruction-set flags, and a shared definition with
// external linkage could be merged by the linker with a wide copy, putting
// wide instructions on a path that must run on any x86-64 CPU.
#pragma once

#include <cstdint>

namespace {

template <class Word>
inline __attribute__((always_inline)) Word chacha_rotl(Word v, int n) {
    return (v << n) | (v >> (32 - n));
}

template <class Word>
inline __attribute__((always_inline)) void chacha_quarter_round(Word& a, Word& b, Word& c, Word& d) {
    a += b;
    d = chacha_rotl(d ^ a, 16);
    c += d;
    b = chacha_rotl(b ^ c, 12);
    a += b;
    d = chacha_rotl(d ^ a, 8);
    c += d;
    b = chacha_rotl(b ^ c, 7);
}

// `count` double rounds (a column round, then a diagonal round) over x.
template <class Word>
inline __attribute__((always_inline)) void chacha_double_rounds(Word (&x)[16], int count) {
    for (int i = 0; i < count; ++i) {
        chacha_quarter_round(x[0], x[4], x[8], x[12]);
        chacha_quarter_round(x[1], x[5], x[9], x[13]);
        chacha_quarter_round(x[2], x[6], x[10], x[14]);
        chacha_quarter_round(x[3], x[7], x[11], x[15]);
        chacha_quarter_round(x[0], x[5], x[10], x[15]);
        chacha_quarter_round(x[1], x[6], x[11], x[12]);
        chacha_quarter_round(x[2], x[7], x[8], x[13]);
        chacha_quarter_round(x[3], x[4], x[9], x[14]);
    }
}

}  // namespace

#include "random/keystream_kernel.h"

#include <algorithm>
#include <random>
#include <string>

#include "random/chacha12.h"
#include <gtest/gtest.h>

namespace {

using vorn::ChaChaState;
using vorn::KeystreamKernel;

// Every lane of one kernel call against the scalar block function.
bool kernel_matches_scalar(const KeystreamKernel& kernel, ChaChaState input, std::uint64_t counter, int double_rounds) {
    std::uint32_t out[16 * vorn::kMaxKernelLanes];
    kernel.blocks(input.data(), counter, double_rounds, out);
    for (unsigned l = 0; l < kernel.lanes; ++l) {
        input[12] = static_cast<std::uint32_t>(counter + l);
        input[13] = static_cast<std::uint32_t>((counter + l) >> 32);
        ChaChaState expected;
        vorn::chacha_block(input, double_rounds, expected);
        for (int i = 0; i < 16; ++i) {
            if (out[16 * l + i] != expected[i]) return false;
        }
    }
    return true;
}

}  // namespace

TEST(KeystreamKernel, keystream_kernels_include_a_portable_one_and_pick_a_supported_best) {
    EXPECT_FALSE(vorn::keystream_kernels().empty());
    EXPECT_EQ(std::string(vorn::keystream_kernels()[0].name), std::string("portable"));
    EXPECT_TRUE(vorn::best_keystream_kernel().supported());
    for (const KeystreamKernel& kernel : vorn::keystream_kernels()) {
        EXPECT_GE(kernel.lanes, 1);
        EXPECT_LE(kernel.lanes, vorn::kMaxKernelLanes);
        EXPECT_EQ((kernel.lanes & (kernel.lanes - 1)), 0);
        if (kernel.supported()) {
            EXPECT_LE(kernel.lanes, vorn::best_keystream_kernel().lanes);
        }
    }
}

// On every kernel this CPU can run: the published 20-round block example in
// lane 0 (its nonce word 0 rides in the high counter word), random states and
// counters that carry across 2^32 and wrap at 2^64 in the other lanes, and a
// generator on the kernel that reproduces the published all-zero-key ChaCha12
// keystream and then the scalar blocks for many refills.
TEST(KeystreamKernel, every_supported_kernel_is_bit_identical_to_the_block_function) {
    const ChaChaState rfc_input{0x61707865, 0x3320646e, 0x79622d32, 0x6b206574, 0x03020100, 0x07060504,
                                0x0b0a0908, 0x0f0e0d0c, 0x13121110, 0x17161514, 0x1b1a1918, 0x1f1e1d1c,
                                1,          0x09000000, 0x4a000000, 0};
    const std::uint32_t rfc_expected[16] = {0xe4e7f110, 0x15593bd1, 0x1fdd0f50, 0xc47120a3, 0xc7f4d1c7, 0x0368c033,
                                            0x9aaa2204, 0x4e6cd4c3, 0x466482d2, 0x09aa9f07, 0x05d7c214, 0xa2028bd9,
                                            0xd19c12b5, 0xb94e16de, 0xe883d0cb, 0x4e3c50a2};
    const std::uint32_t zero_key_first_words[4] = {0x6a9af49b, 0x53f95507, 0x12ce1f81, 0xd583265f};
    int kernels_run = 0;
    for (const KeystreamKernel& kernel : vorn::keystream_kernels()) {
        if (!kernel.supported()) continue;
        ++kernels_run;
        std::uint32_t out[16 * vorn::kMaxKernelLanes];
        kernel.blocks(rfc_input.data(), 1 | (std::uint64_t{0x09000000} << 32), 10, out);
        bool rfc_equal = true;
        for (int i = 0; i < 16; ++i) rfc_equal = rfc_equal && out[i] == rfc_expected[i];
        EXPECT_TRUE(rfc_equal);

        std::mt19937_64 rng(kernel.lanes);
        const std::uint64_t counters[] = {0, 1, 0xFFFFFFFFu - 2, 0xFFFFFFFFFFFFFFFFull - 5, 0x123456789ull};
        bool all_equal = true;
        for (int trial = 0; trial < 50; ++trial) {
            ChaChaState input;
            for (std::uint32_t& word : input) word = static_cast<std::uint32_t>(rng());
            const std::uint64_t counter = trial < 5 ? counters[trial] : rng();
            all_equal = all_equal && kernel_matches_scalar(kernel, input, counter, 6);
        }
        EXPECT_TRUE(all_equal);

        // Several states at once (the first blocks of several generators).
        std::uint32_t inputs[16 * vorn::kMaxKernelLanes];
        ChaChaState states[vorn::kMaxKernelLanes];
        for (unsigned l = 0; l < kernel.lanes; ++l) {
            for (int i = 0; i < 16; ++i)
                inputs[i * kernel.lanes + l] = states[l][i] = static_cast<std::uint32_t>(rng());
        }
        kernel.states(inputs, 6, out);
        bool states_equal = true;
        for (unsigned l = 0; l < kernel.lanes; ++l) {
            ChaChaState expected;
            vorn::chacha_block(states[l], 6, expected);
            for (int i = 0; i < 16; ++i) states_equal = states_equal && out[16 * l + i] == expected[i];
        }
        EXPECT_TRUE(states_equal);

        vorn::ChaCha12Generator on_kernel(vorn::ChaCha12Generator::Key{}, 0, kernel);
        for (std::uint32_t word : zero_key_first_words) EXPECT_EQ(on_kernel.next_u32(), word);
        // The zero key on stream 3: blocks are the block function of the
        // constants, zero key words, the counter and the stream number.
        vorn::ChaCha12Generator generator(vorn::ChaCha12Generator::Key{}, 3, kernel);
        ChaChaState input{0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
        input[14] = 3;
        bool same_stream = true;
        for (std::uint32_t block = 0; block < 100; ++block) {
            input[12] = block;
            ChaChaState expected;
            vorn::chacha_block(input, 6, expected);
            for (std::uint32_t word : expected) same_stream = same_stream && generator.next_u32() == word;
        }
        EXPECT_TRUE(same_stream);
        EXPECT_EQ(generator.words_drawn(), std::uint64_t{1600});
    }
    EXPECT_GE(kernels_run, 1);
}

// Seeds expanded side by side against the generator's one-at-a-time
// expansion and the block function, with seeds whose lanes wrap past 2^64.
TEST(KeystreamKernel, seeded_first_blocks_match_the_scalar_key_expansion_and_blocks) {
    for (const KeystreamKernel& kernel : vorn::keystream_kernels()) {
        if (!kernel.supported()) continue;
        std::mt19937_64 rng(200 + kernel.lanes);
        std::uint64_t mismatches = 0;
        for (int trial = 0; trial < 20; ++trial) {
            const std::uint64_t first_seed = trial == 0 ? 0 : trial == 1 ? UINT64_MAX - 2 : rng();
            std::uint32_t keys[8 * vorn::kMaxKernelLanes];
            std::uint32_t stream0[16 * vorn::kMaxKernelLanes];
            std::uint32_t stream1[16 * vorn::kMaxKernelLanes];
            kernel.seeded_first_blocks(first_seed, 6, keys, stream0, stream1);
            for (unsigned l = 0; l < kernel.lanes; ++l) {
                ChaChaState input{0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
                vorn::ChaCha12Generator::key_words_from_u64(first_seed + l, input.data() + 4);
                for (int i = 0; i < 8; ++i) mismatches += keys[i * kernel.lanes + l] != input[4 + i];
                for (std::uint32_t stream = 0; stream < 2; ++stream) {
                    input[14] = stream;
                    ChaChaState expected;
                    vorn::chacha_block(input, 6, expected);
                    const std::uint32_t* lane = (stream == 0 ? stream0 : stream1) + l;
                    for (int i = 0; i < 16; ++i) mismatches += lane[i * kernel.lanes] != expected[i];
                }
            }
        }
        EXPECT_EQ(mismatches, 0u) << kernel.name;
    }
}

// The counting kernel against the block function and a plain comparison:
// random states, several blocks a call, counters that carry into the high
// word, draw limits that end inside a block or past the call, thresholds
// that stay or move between draws from block to block, placed on, just above
// and just below a draw, and equal in the high word only, so every way the
// two-word comparison can go is checked.
TEST(KeystreamKernel, count_at_least_counts_what_the_block_function_gives) {
    for (const KeystreamKernel& kernel : vorn::keystream_kernels()) {
        if (!kernel.supported()) continue;
        const unsigned lanes = kernel.lanes;
        std::mt19937_64 rng(100 + lanes);
        std::uint64_t mismatches = 0;
        for (int trial = 0; trial < 100; ++trial) {
            const unsigned blocks = 1 + static_cast<unsigned>(rng() % 4);
            std::uint8_t next[8];
            for (std::uint8_t& k : next) k = static_cast<std::uint8_t>(rng() % 8);
            const bool moves = trial % 2 == 0;
            std::uint32_t inputs[16 * vorn::kMaxKernelLanes];
            std::uint32_t thresholds[16 * vorn::kMaxKernelLanes];
            std::uint32_t draws_left[vorn::kMaxKernelLanes];
            std::uint64_t thresholds_after[vorn::kMaxKernelLanes][8];
            ChaChaState states[vorn::kMaxKernelLanes];
            std::uint64_t expected = 0;
            for (unsigned l = 0; l < lanes; ++l) {
                for (std::uint32_t& word : states[l]) word = static_cast<std::uint32_t>(rng());
                if (rng() % 2 == 0) states[l][12] = 0xFFFFFFFFu - static_cast<std::uint32_t>(rng() % 4);
                for (int i = 0; i < 16; ++i) inputs[i * lanes + l] = states[l][i];
                draws_left[l] = static_cast<std::uint32_t>(rng() % (8 * blocks + 4));
                const std::uint64_t first = states[l][12] | (std::uint64_t{states[l][13]} << 32);
                ChaChaState input = states[l];
                ChaChaState block;
                // Thresholds near the draws of the lane's first block.
                vorn::chacha_block(input, 6, block);
                std::uint64_t threshold[8];
                for (unsigned k = 0; k < 8; ++k) {
                    const std::uint64_t draw = block[2 * k] | (std::uint64_t{block[2 * k + 1]} << 32);
                    threshold[k] = rng();
                    switch (rng() % 5) {
                        case 0: threshold[k] = draw; break;
                        case 1: threshold[k] = draw + 1; break;
                        case 2: threshold[k] = draw - 1; break;
                        case 3:
                            threshold[k] = (draw & 0xFFFFFFFF00000000ULL) | static_cast<std::uint32_t>(rng());
                            break;
                        default: break;
                    }
                    thresholds[2 * k * lanes + l] = static_cast<std::uint32_t>(threshold[k]);
                    thresholds[(2 * k + 1) * lanes + l] = static_cast<std::uint32_t>(threshold[k] >> 32);
                }
                for (unsigned b = 0; b < blocks; ++b) {
                    const std::uint64_t counter = first + b;
                    input[12] = static_cast<std::uint32_t>(counter);
                    input[13] = static_cast<std::uint32_t>(counter >> 32);
                    vorn::chacha_block(input, 6, block);
                    for (unsigned k = 0; k < 8; ++k) {
                        const std::uint64_t draw = block[2 * k] | (std::uint64_t{block[2 * k + 1]} << 32);
                        if (8 * b + k < draws_left[l] && draw >= threshold[k]) ++expected;
                    }
                    if (moves) {
                        std::uint64_t moved[8];
                        for (unsigned k = 0; k < 8; ++k) moved[k] = threshold[next[k]];
                        std::copy(moved, moved + 8, threshold);
                    }
                }
                std::copy(threshold, threshold + 8, thresholds_after[l]);
            }
            std::uint32_t left_before[vorn::kMaxKernelLanes];
            std::copy(draws_left, draws_left + lanes, left_before);
            if (kernel.count_at_least(inputs, thresholds, draws_left, blocks, moves ? next : nullptr, 6) != expected) {
                ++mismatches;
            }
            for (unsigned l = 0; l < lanes; ++l) {
                const std::uint64_t first = states[l][12] | (std::uint64_t{states[l][13]} << 32);
                const std::uint64_t after = first + blocks;
                const std::uint32_t left = left_before[l] > 8 * blocks ? left_before[l] - 8 * blocks : 0;
                bool same = inputs[12 * lanes + l] == static_cast<std::uint32_t>(after) &&
                            inputs[13 * lanes + l] == static_cast<std::uint32_t>(after >> 32) && draws_left[l] == left;
                for (unsigned k = 0; k < 8; ++k) {
                    same =
                        same && thresholds[2 * k * lanes + l] == static_cast<std::uint32_t>(thresholds_after[l][k]) &&
                        thresholds[(2 * k + 1) * lanes + l] == static_cast<std::uint32_t>(thresholds_after[l][k] >> 32);
                }
                if (!same) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0u) << kernel.name;
    }
}

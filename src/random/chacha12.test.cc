#include "random/chacha12.h"

#include <cmath>
#include <random>
#include <string>

#include "common/errors.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using vorn::ChaCha12Generator;
using vorn::ChaChaState;

std::uint32_t le_word(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
           (std::uint32_t{bytes[3]} << 24);
}

// The input state of block `counter` for a key and stream, laid out as the
// generator lays it out (counter in words 12-13, stream in 14-15).
ChaChaState block_input(const ChaCha12Generator::Key& key, std::uint64_t counter, std::uint64_t stream) {
    ChaChaState s{0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
    for (int i = 0; i < 8; ++i) s[4 + i] = le_word(key.data() + 4 * i);
    s[12] = static_cast<std::uint32_t>(counter);
    s[13] = static_cast<std::uint32_t>(counter >> 32);
    s[14] = static_cast<std::uint32_t>(stream);
    s[15] = static_cast<std::uint32_t>(stream >> 32);
    return s;
}

}  // namespace

// The block function with 20 rounds against the published block-function
// example (key 00..1f, block count 1, nonce 00000009 0000004a 00000000).
TEST(Chacha12, chacha_block_matches_published_twenty_round_example) {
    ChaChaState input{0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
    for (int i = 0; i < 8; ++i) {
        const unsigned char b[4] = {static_cast<unsigned char>(4 * i), static_cast<unsigned char>(4 * i + 1),
                                    static_cast<unsigned char>(4 * i + 2), static_cast<unsigned char>(4 * i + 3)};
        input[4 + i] = le_word(b);
    }
    input[12] = 1;
    input[13] = 0x09000000;
    input[14] = 0x4a000000;
    input[15] = 0;
    const ChaChaState expected{0xe4e7f110, 0x15593bd1, 0x1fdd0f50, 0xc47120a3, 0xc7f4d1c7, 0x0368c033,
                               0x9aaa2204, 0x4e6cd4c3, 0x466482d2, 0x09aa9f07, 0x05d7c214, 0xa2028bd9,
                               0xd19c12b5, 0xb94e16de, 0xe883d0cb, 0x4e3c50a2};
    ChaChaState out{};
    vorn::chacha_block(input, 10, out);
    EXPECT_EQ(out, expected);
}

// The all-zero key and nonce keystream of ChaCha with 12 rounds, as published
// in the cipher's test vectors; it is the stream of every single request.
TEST(Chacha12, zero_key_generator_yields_published_chacha12_keystream) {
    const unsigned char expected[64] = {0x9b, 0xf4, 0x9a, 0x6a, 0x07, 0x55, 0xf9, 0x53, 0x81, 0x1f, 0xce, 0x12, 0x5f,
                                        0x26, 0x83, 0xd5, 0x04, 0x29, 0xc3, 0xbb, 0x49, 0xe0, 0x74, 0x14, 0x7e, 0x00,
                                        0x89, 0xa5, 0x2e, 0xae, 0x15, 0x5f, 0x05, 0x64, 0xf8, 0x79, 0xd2, 0x7a, 0xe3,
                                        0xc0, 0x2c, 0xe8, 0x28, 0x34, 0xac, 0xfa, 0x8c, 0x79, 0x3a, 0x62, 0x9f, 0x2c,
                                        0xa0, 0xde, 0x69, 0x19, 0x61, 0x0b, 0xe8, 0x2f, 0x41, 0x13, 0x26, 0xbe};
    ChaCha12Generator generator(ChaCha12Generator::Key{});
    for (int i = 0; i < 16; ++i) EXPECT_EQ(generator.next_u32(), le_word(expected + 4 * i));
}

// Ten blocks cross several refills; every word must equal the block function
// output for its counter, with the stream number in words 14-15.
TEST(Chacha12, generator_words_follow_block_counter_and_stream) {
    for (std::uint64_t stream : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{0x0123456789abcdefULL}}) {
        const auto key = ChaCha12Generator::key_from_u64(42);
        ChaCha12Generator generator(key, stream);
        bool all_equal = true;
        for (std::uint64_t block = 0; block < 10; ++block) {
            ChaChaState out{};
            vorn::chacha_block(block_input(key, block, stream), 6, out);
            for (std::uint32_t word : out) all_equal = all_equal && generator.next_u32() == word;
        }
        EXPECT_TRUE(all_equal);
        // A few single blocks first, then a kernel's width at a time.
        const std::uint64_t lanes = vorn::best_keystream_kernel().lanes;
        const std::uint64_t single = ChaCha12Generator::kScalarBlocks;
        EXPECT_EQ(generator.blocks_generated(), single + lanes * ((10 - single + lanes - 1) / lanes));
    }
}

TEST(Chacha12, next_u64_takes_low_word_first_across_block_boundaries) {
    ChaCha12Generator words(ChaCha12Generator::Key{});
    ChaCha12Generator pairs(ChaCha12Generator::Key{});
    pairs.next_u32();
    words.next_u32();
    bool all_equal = true;
    // Starting at an odd word makes some pairs straddle blocks and refills.
    for (int i = 0; i < 100; ++i) {
        const std::uint64_t low = words.next_u32();
        const std::uint64_t high = words.next_u32();
        all_equal = all_equal && pairs.next_u64() == (low | (high << 32));
    }
    EXPECT_TRUE(all_equal);
}

TEST(Chacha12, seed_expansion_produces_pinned_keys) {
    struct Case {
        std::uint64_t seed;
        std::uint32_t words[8];
    };
    const Case cases[] = {
        {0, {0xf973f2ec, 0x45cdb581, 0x7346f087, 0xad6cad06, 0xe3a3d0d0, 0x67e71733, 0x72ea9bf2, 0xfe7d8ad7}},
        {1, {0x721dd8ea, 0x4e10265d, 0xf83b9c89, 0x2e78ce42, 0xda03d3ba, 0xc2d29799, 0xac560212, 0x1bfb6673}},
        {~std::uint64_t{0},
         {0xe392472f, 0x102810d6, 0x952d5435, 0x435ef92c, 0x7b34e99a, 0x37c5dd03, 0xb0c77a63, 0x3e612043}},
    };
    for (const Case& c : cases) {
        const auto key = ChaCha12Generator::key_from_u64(c.seed);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(le_word(key.data() + 4 * i), c.words[i]);
    }
}

TEST(Chacha12, seeded_generators_repeat_and_differ_from_zero_key) {
    ChaCha12Generator a = ChaCha12Generator::seed_from_u64(0);
    ChaCha12Generator b = ChaCha12Generator::seed_from_u64(0);
    ChaCha12Generator zero(ChaCha12Generator::Key{});
    ChaCha12Generator other = ChaCha12Generator::seed_from_u64(1);
    bool same = true, differs_from_zero = false, differs_from_other = false;
    for (int i = 0; i < 200; ++i) {
        const std::uint64_t x = a.next_u64();
        same = same && x == b.next_u64();
        differs_from_zero = differs_from_zero || x != zero.next_u64();
        differs_from_other = differs_from_other || x != other.next_u64();
    }
    EXPECT_TRUE(same);
    EXPECT_TRUE(differs_from_zero);
    EXPECT_TRUE(differs_from_other);
}

TEST(Chacha12, closed01_maps_extreme_bit_patterns) {
    EXPECT_EQ(vorn::closed01_from_bits(0), 0.0);
    EXPECT_FALSE(std::signbit(vorn::closed01_from_bits(0)));
    // The top 52 bits all set reach 1.0 exactly, and the low 12 bits never matter.
    EXPECT_EQ(vorn::closed01_from_bits(~std::uint64_t{0}), 1.0);
    EXPECT_EQ(vorn::closed01_from_bits(0xFFFFFFFFFFFFF000ULL), 1.0);
    EXPECT_EQ(vorn::closed01_from_bits(0xFFFULL), 0.0);
    EXPECT_EQ(vorn::closed01_from_bits(std::uint64_t{1} << 12), std::ldexp(1.0, -52) * 1.0000000000000002);
    EXPECT_EQ(vorn::closed01_from_bits(std::uint64_t{1} << 63), 0.5 * 1.0000000000000002);
}

TEST(Chacha12, uniform_closed01_uses_one_u64_per_draw) {
    ChaCha12Generator draws(ChaCha12Generator::Key{});
    ChaCha12Generator raw(ChaCha12Generator::Key{});
    bool all_equal = true;
    for (int i = 0; i < 50; ++i)
        all_equal = all_equal && draws.uniform_closed01() == vorn::closed01_from_bits(raw.next_u64());
    EXPECT_TRUE(all_equal);
}

TEST(Chacha12, uniform_range_stays_in_half_open_interval) {
    ChaCha12Generator generator = ChaCha12Generator::seed_from_u64(7);
    bool inside = true;
    for (int i = 0; i < 10000; ++i) {
        const double x = generator.uniform_range(-3.0, 5.0);
        inside = inside && x >= -3.0 && x < 5.0;
    }
    EXPECT_TRUE(inside);
    // With a width of one ulp at 1.0 half the raw values round up to b; they
    // must be drawn again, so every result is a itself.
    const double b = std::nextafter(1.0, 2.0);
    bool only_a = true;
    for (int i = 0; i < 200; ++i) only_a = only_a && generator.uniform_range(1.0, b) == 1.0;
    EXPECT_TRUE(only_a);
}

TEST(Chacha12, uniform_range_unit_interval_matches_fraction_of_top_bits) {
    ChaCha12Generator draws = ChaCha12Generator::seed_from_u64(99);
    ChaCha12Generator raw = ChaCha12Generator::seed_from_u64(99);
    bool all_equal = true;
    for (int i = 0; i < 100; ++i) {
        const double expected = static_cast<double>(raw.next_u64() >> 12) * std::ldexp(1.0, -52);
        all_equal = all_equal && draws.uniform_range(0.0, 1.0) == expected;
    }
    EXPECT_TRUE(all_equal);
}

TEST(Chacha12, uniform_range_rejects_bad_bounds) {
    ChaCha12Generator generator(ChaCha12Generator::Key{});
    const double inf = INFINITY;
    const double bad[][2] = {{1.0, 1.0}, {2.0, 1.0}, {NAN, 1.0}, {0.0, NAN}};
    for (const auto& bounds : bad) EXPECT_THROW(generator.uniform_range(bounds[0], bounds[1]), vorn::InternalFault);
    EXPECT_THROW(generator.uniform_range(0.0, inf), vorn::InternalFault);
    EXPECT_THROW(generator.uniform_range(-inf, 0.0), vorn::InternalFault);
    EXPECT_THROW(generator.uniform_range(-1e308, 1e308), vorn::InternalFault);
    EXPECT_THAT([&] { generator.uniform_range(1.0, 0.0); },
                ::testing::ThrowsMessage<vorn::InternalFault>(::testing::StrEq("cannot sample empty range")));
}

// The integer bound decides every trial exactly as p > uniform_closed01 does,
// at the bound itself, around it, and for awkward probabilities.
TEST(Chacha12, win_bound_agrees_with_the_closed01_comparison) {
    std::mt19937_64 rng(5);
    const double awkward[] = {0.0,
                              -0.0,
                              -1.0,
                              1.0,
                              0.5,
                              0.98,
                              1.0000000000000002,
                              2.0,
                              1e-300,
                              NAN,
                              INFINITY,
                              -INFINITY,
                              std::nextafter(1.0, 0.0),
                              std::nextafter(0.5, 1.0)};
    int mismatches = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        const double p = trial < 14 ? awkward[trial] : std::ldexp(static_cast<double>(rng() >> 11), -53);
        const std::uint64_t bound = vorn::closed01_win_bound(p);
        const std::uint64_t around[] = {bound - 1, bound, bound + 1, rng() >> 12, 0, (std::uint64_t{1} << 52) - 1};
        for (const std::uint64_t top : around) {
            if (top >= (std::uint64_t{1} << 52)) continue;
            const std::uint64_t bits = (top << 12) | (rng() & 0xFFF);
            mismatches += (p > vorn::closed01_from_bits(bits)) != (top < bound) ? 1 : 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(vorn::closed01_win_bound(NAN), std::uint64_t{0});
    EXPECT_EQ(vorn::closed01_win_bound(2.0), std::uint64_t{1} << 52);
}

// The ChaCha stream cipher with 12 rounds used as a random generator. Its
// output is the keystream read as little-endian 32-bit words, block after
// block in counter order, so a given key and stream number always yield the
// same numbers in every build.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "random/chacha_constants.h"
#include "random/keystream_kernel.h"

namespace vorn {

using ChaChaState = std::array<std::uint32_t, 16>;

// One ChaCha block: `double_rounds` column/diagonal round pairs applied to
// `input`, then `input` added word-wise. 6 double rounds give ChaCha12.
void chacha_block(const ChaChaState& input, int double_rounds, ChaChaState& out);

// Maps 64 random bits to a real in [0, 1]: the top 52 bits as a fraction in
// [0, 1), stretched by 1 / (1 - 2^-52) so that 1.0 itself can occur.
inline double closed01_from_bits(std::uint64_t bits) {
    const double fraction = std::bit_cast<double>((bits >> 12) | 0x3FF0000000000000ULL) - 1.0;
    return fraction * std::bit_cast<double>(0x3FF0000000000001ULL) + 0.0;
}

// The draws of uniform_closed01 that a trial of probability p wins
// (p > draw) are exactly those whose top 52 bits are below this bound: 0 when
// no draw wins (p <= 0, NaN), 2^52 when every draw wins. The map from bits to
// draws never decreases, so one integer comparison replaces the conversion.
std::uint64_t closed01_win_bound(double p);

class ChaCha12Generator {
public:
    using Key = std::array<std::uint8_t, 32>;
    static constexpr int kDoubleRounds = 6;
    static constexpr std::size_t kBufferWords = 16 * kMaxKernelLanes;

    // Blocks computed one at a time before the generator switches to kernel
    // calls.
    static constexpr std::uint64_t kScalarBlocks = 2;

    // Counter starts at 0; the first kScalarBlocks blocks are computed one
    // at a time (a short ensemble run reads only a few words), later draws
    // refill with the widest keystream kernel of this CPU.
    explicit ChaCha12Generator(const Key& key, std::uint64_t stream = 0)
        : ChaCha12Generator(key, stream, best_keystream_kernel()) {}
    // The same stream computed by a given kernel (which the CPU must support).
    ChaCha12Generator(const Key& key, std::uint64_t stream, const KeystreamKernel& kernel);
    // The stream whose block 0 input is `input` (see input_state), with
    // block 0 already computed (16 words at `first_block`, for instance by
    // KeystreamKernel::states for several generators at once).
    ChaCha12Generator(const ChaChaState& input, const std::uint32_t* first_block);
    // The same with block 1 already computed too (16 words at `second_block`).
    ChaCha12Generator(const ChaChaState& input, const std::uint32_t* first_block, const std::uint32_t* second_block);

    // The block function's input for block 0 of a key and stream.
    static ChaChaState input_state(const Key& key, std::uint64_t stream);

    // Expands a 64-bit seed into a key with the PCG32 output function.
    static Key key_from_u64(std::uint64_t seed);
    // The same key as the eight little-endian words of the block input
    // (words 4-11 of input_state).
    static void key_words_from_u64(std::uint64_t seed, std::uint32_t* words);
    // One step of that expansion: advances `state` (starting at the seed)
    // and returns the next key word.
    static std::uint32_t next_key_word(std::uint64_t& state) {
        state = state * kKeyStepMultiplier + kKeyStepIncrement;
        const auto xorshifted = static_cast<std::uint32_t>(((state >> 18) ^ state) >> 27);
        return std::rotr(xorshifted, static_cast<int>(state >> 59));
    }
    static ChaCha12Generator seed_from_u64(std::uint64_t seed) { return ChaCha12Generator(key_from_u64(seed)); }

    std::uint32_t next_u32() {
        if (index_ == available_) refill();
        return buffer_[index_++];
    }

    // Two consecutive keystream words; the first is the low half.
    std::uint64_t next_u64() {
        if constexpr (std::endian::native == std::endian::little) {
            if (available_ - index_ >= 2) {
                std::uint64_t both;
                std::memcpy(&both, &buffer_[index_], sizeof both);
                index_ += 2;
                return both;
            }
        }
        const std::uint64_t low = next_u32();
        return low | (std::uint64_t{next_u32()} << 32);
    }

    double uniform_closed01() { return closed01_from_bits(next_u64()); }

    // Draws one next_u64 per bound, in order, and returns how many have their
    // top 52 bits at or above their bound (trials lost, see
    // closed01_win_bound). The same draws as a loop of next_u64, read
    // straight from the buffer while it holds enough words.
    std::uint64_t count_losing_draws(const std::uint64_t* bounds, std::size_t count) {
        std::uint64_t losses = 0;
        for (std::size_t k = 0; k < count; ++k) {
            std::uint64_t draw;
            if (std::endian::native == std::endian::little && available_ - index_ >= 2) {
                std::memcpy(&draw, &buffer_[index_], sizeof draw);
                index_ += 2;
            } else {
                draw = next_u64();
            }
            losses += (draw >> 12) >= bounds[k] ? 1 : 0;
        }
        return losses;
    }

    // Draws `draws` next_u64 values, compared with `pattern[k % period]` for
    // draw k, and returns how many lose (as count_losing_draws). A pattern of
    // the hop bounds repeated many times makes the comparisons independent
    // of each other. Reads straight from the buffer, refilling it with no
    // more blocks than the remaining draws need when that is a single block.
    std::uint64_t count_losing_pattern(const std::uint64_t* pattern, std::size_t period, std::uint64_t draws) {
        std::uint64_t losses = 0;
        std::size_t position = 0;
        while (draws != 0) {
            const std::uint32_t words = available_ - index_;
            if (words < 2 || std::endian::native != std::endian::little) {
                // A draw that straddles a refill (or a big-endian build).
                losses += (next_u64() >> 12) >= pattern[position] ? 1 : 0;
                position = position + 1 == period ? 0 : position + 1;
                --draws;
            } else {
                std::uint64_t batch = draws < words / 2 ? draws : words / 2;
                if (batch > period - position) batch = period - position;
                const std::uint32_t* next = &buffer_[index_];
                const std::uint64_t* bound = pattern + position;
                for (std::uint64_t k = 0; k < batch; ++k) {
                    std::uint64_t draw;
                    std::memcpy(&draw, next + 2 * k, sizeof draw);
                    losses += (draw >> 12) >= bound[k] ? 1 : 0;
                }
                index_ += static_cast<std::uint32_t>(2 * batch);
                draws -= batch;
                position += batch;
                if (position == period) position = 0;
            }
            if (draws != 0 && available_ == index_) refill_for(2 * draws);
        }
        return losses;
    }

    // A real in [a, b): the top 52 bits of a draw as a fraction of b - a,
    // drawn again while the result rounds up to b. Throws InternalFault when
    // a >= b (or either is NaN) or when b - a is not finite.
    double uniform_range(double a, double b) {
        const double scale = b - a;
        if (!(a < b) || !std::isfinite(scale)) throw_bad_range(a, b);
        for (;;) {
            const double fraction = std::bit_cast<double>((next_u64() >> 12) | 0x3FF0000000000000ULL) - 1.0;
            const double r = fraction * scale + a;
            if (r < b) return r;
        }
    }

    // Number of keystream blocks computed so far (buffered ones included).
    std::uint64_t blocks_generated() const { return counter_; }
    // Number of keystream words handed out so far.
    std::uint64_t words_drawn() const { return 16 * counter_ - (available_ - index_); }

private:
    void refill();
    // Refills an empty buffer knowing that `words` more words will be read:
    // one scalar block when that is all they need, else a kernel call.
    void refill_for(std::uint64_t words);
    [[noreturn]] static void throw_bad_range(double a, double b);

    ChaChaState input_;
    const KeystreamKernel* kernel_;
    std::uint64_t counter_ = 0;  // next block to compute
    std::uint32_t index_ = 0;      // next buffered word
    std::uint32_t available_ = 0;  // buffered words, block after block
    alignas(64) std::array<std::uint32_t, kBufferWords> buffer_;
};

}  // namespace vorn

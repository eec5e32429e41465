#include "random/chacha12.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/errors.h"
#include "common/messages.h"
#include "random/chacha_rounds.h"

namespace vorn {

void chacha_block(const ChaChaState& input, int double_round_count, ChaChaState& out) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = input[i];
    chacha_double_rounds(x, double_round_count);
    for (int i = 0; i < 16; ++i) out[i] = x[i] + input[i];
}

std::uint64_t closed01_win_bound(double p) {
    // The first top-52-bit value whose draw the trial loses, by bisection.
    std::uint64_t low = 0;
    std::uint64_t high = std::uint64_t{1} << 52;  // treated as "loses" (no such draw)
    while (low < high) {
        const std::uint64_t middle = low + (high - low) / 2;
        if (p > closed01_from_bits(middle << 12)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

ChaChaState ChaCha12Generator::input_state(const Key& key, std::uint64_t stream) {
    ChaChaState input;
    for (int i = 0; i < 4; ++i) input[i] = kChaChaSigma[i];
    for (int i = 0; i < 8; ++i) {
        input[4 + i] = std::uint32_t{key[4 * i]} | (std::uint32_t{key[4 * i + 1]} << 8) |
                       (std::uint32_t{key[4 * i + 2]} << 16) | (std::uint32_t{key[4 * i + 3]} << 24);
    }
    input[12] = 0;
    input[13] = 0;
    input[14] = static_cast<std::uint32_t>(stream);
    input[15] = static_cast<std::uint32_t>(stream >> 32);
    return input;
}

ChaCha12Generator::ChaCha12Generator(const Key& key, std::uint64_t stream, const KeystreamKernel& kernel)
    : input_(input_state(key, stream)), kernel_(&kernel) {}

ChaCha12Generator::ChaCha12Generator(const ChaChaState& input, const std::uint32_t* first_block)
    : input_(input), kernel_(&best_keystream_kernel()), counter_(1), available_(16) {
    std::memcpy(buffer_.data(), first_block, 16 * sizeof(std::uint32_t));
}

ChaCha12Generator::ChaCha12Generator(const ChaChaState& input, const std::uint32_t* first_block,
                                     const std::uint32_t* second_block)
    : input_(input), kernel_(&best_keystream_kernel()), counter_(2), available_(32) {
    std::memcpy(buffer_.data(), first_block, 16 * sizeof(std::uint32_t));
    std::memcpy(buffer_.data() + 16, second_block, 16 * sizeof(std::uint32_t));
}

void ChaCha12Generator::key_words_from_u64(std::uint64_t seed, std::uint32_t* words) {
    for (int i = 0; i < 8; ++i) words[i] = next_key_word(seed);
}

ChaCha12Generator::Key ChaCha12Generator::key_from_u64(std::uint64_t seed) {
    std::uint32_t words[8];
    key_words_from_u64(seed, words);
    Key key{};
    for (int i = 0; i < 8; ++i) {
        for (int b = 0; b < 4; ++b) key[4 * i + b] = static_cast<std::uint8_t>(words[i] >> (8 * b));
    }
    return key;
}

void ChaCha12Generator::throw_bad_range(double a, double b) {
    if (!(a < b)) throw InternalFault(std::string(msg::kEmptyRange));
    throw InternalFault(std::string(msg::kUnboundedRange));
}

void ChaCha12Generator::refill() { refill_for(kMaxKernelLanes * 16); }

void ChaCha12Generator::refill_for(std::uint64_t words) {
    if (counter_ < kScalarBlocks || words <= 16) {
        // A fresh generator, or one whose caller needs a single block more,
        // computes one block alone: many users (a short ensemble run) read
        // only a few words, and one block costs far less than a kernel call
        // of which only one block would be read.
        ChaChaState input = input_;
        input[12] = static_cast<std::uint32_t>(counter_);
        input[13] = static_cast<std::uint32_t>(counter_ >> 32);
        ChaChaState block;
        chacha_block(input, kDoubleRounds, block);
        std::copy(block.begin(), block.end(), buffer_.begin());
        ++counter_;  // wraps like the cipher's 64-bit counter
        available_ = 16;
    } else {
        kernel_->blocks(input_.data(), counter_, kDoubleRounds, buffer_.data());
        counter_ += kernel_->lanes;
        available_ = 16 * kernel_->lanes;
    }
    index_ = 0;
}

}  // namespace vorn

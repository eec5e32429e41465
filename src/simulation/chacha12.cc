#include "simulation/chacha12.h"

#include <algorithm>
#include <string>

#include "common/errors.h"
#include "common/messages.h"

namespace vorn {
namespace {

// "expand 32-byte k" as little-endian words.
constexpr std::array<std::uint32_t, 4> kSigma = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};

constexpr std::uint32_t rotl(std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

#if defined(__GNUC__)
// Four blocks side by side, one vector lane each.
typedef std::uint32_t Lanes4 __attribute__((vector_size(16)));
inline Lanes4 rotl(Lanes4 v, int n) { return (v << n) | (v >> (32 - n)); }
#endif

#define VORN_QUARTER_ROUND(a, b, c, d) \
    a += b; d = rotl(d ^ a, 16);         \
    c += d; b = rotl(b ^ c, 12);         \
    a += b; d = rotl(d ^ a, 8);          \
    c += d; b = rotl(b ^ c, 7);

// The rounds over one state held in sixteen words, which may be scalars or
// vectors of the same word of several blocks.
template <class Word>
inline void double_rounds(Word (&x)[16], int count) {
    for (int i = 0; i < count; ++i) {
        VORN_QUARTER_ROUND(x[0], x[4], x[8], x[12])
        VORN_QUARTER_ROUND(x[1], x[5], x[9], x[13])
        VORN_QUARTER_ROUND(x[2], x[6], x[10], x[14])
        VORN_QUARTER_ROUND(x[3], x[7], x[11], x[15])
        VORN_QUARTER_ROUND(x[0], x[5], x[10], x[15])
        VORN_QUARTER_ROUND(x[1], x[6], x[11], x[12])
        VORN_QUARTER_ROUND(x[2], x[7], x[8], x[13])
        VORN_QUARTER_ROUND(x[3], x[4], x[9], x[14])
    }
}

#undef VORN_QUARTER_ROUND

std::uint64_t counter_of(const ChaChaState& state) { return state[12] | (std::uint64_t{state[13]} << 32); }

void set_counter(ChaChaState& state, std::uint64_t counter) {
    state[12] = static_cast<std::uint32_t>(counter);
    state[13] = static_cast<std::uint32_t>(counter >> 32);
}

}  // namespace

void chacha_block(const ChaChaState& input, int double_round_count, ChaChaState& out) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = input[i];
    double_rounds(x, double_round_count);
    for (int i = 0; i < 16; ++i) out[i] = x[i] + input[i];
}

ChaCha12Generator::ChaCha12Generator(const Key& key, std::uint64_t stream) {
    for (int i = 0; i < 4; ++i) input_[i] = kSigma[i];
    for (int i = 0; i < 8; ++i) {
        input_[4 + i] = std::uint32_t{key[4 * i]} | (std::uint32_t{key[4 * i + 1]} << 8) |
                        (std::uint32_t{key[4 * i + 2]} << 16) | (std::uint32_t{key[4 * i + 3]} << 24);
    }
    set_counter(input_, 0);
    input_[14] = static_cast<std::uint32_t>(stream);
    input_[15] = static_cast<std::uint32_t>(stream >> 32);
}

ChaCha12Generator::Key ChaCha12Generator::key_from_u64(std::uint64_t seed) {
    constexpr std::uint64_t kMultiplier = 0x5851F42D4C957F2DULL;
    constexpr std::uint64_t kIncrement = 0xA17654E46FBE17F3ULL;
    Key key{};
    for (int i = 0; i < 8; ++i) {
        seed = seed * kMultiplier + kIncrement;
        const auto xorshifted = static_cast<std::uint32_t>(((seed >> 18) ^ seed) >> 27);
        const auto rotation = static_cast<int>(seed >> 59);
        const std::uint32_t word = std::rotr(xorshifted, rotation);
        for (int b = 0; b < 4; ++b) key[4 * i + b] = static_cast<std::uint8_t>(word >> (8 * b));
    }
    return key;
}

void ChaCha12Generator::throw_bad_range(double a, double b) {
    if (!(a < b)) throw InternalFault(std::string(msg::kEmptyRange));
    throw InternalFault(std::string(msg::kUnboundedRange));
}

std::uint64_t ChaCha12Generator::blocks_generated() const { return counter_of(input_); }

void ChaCha12Generator::refill() {
    const std::uint64_t counter = counter_of(input_);
    // A fresh generator computes one block first: many users (a short
    // ensemble run) need only a few words.
    if (counter == 0) {
        ChaChaState block;
        chacha_block(input_, kDoubleRounds, block);
        std::copy(block.begin(), block.end(), buffer_.end() - 16);
        set_counter(input_, 1);
        index_ = kBufferWords - 16;
        return;
    }
    static_assert(kBlocksPerRefill == 4);
#if defined(__GNUC__)
    Lanes4 start[16];
    for (int i = 0; i < 16; ++i) start[i] = Lanes4{input_[i], input_[i], input_[i], input_[i]};
    // The 64-bit block counter of each lane (it wraps like the cipher's).
    for (std::uint32_t l = 0; l < 4; ++l) {
        start[12][l] = static_cast<std::uint32_t>(counter + l);
        start[13][l] = static_cast<std::uint32_t>((counter + l) >> 32);
    }
    Lanes4 x[16];
    for (int i = 0; i < 16; ++i) x[i] = start[i];
    double_rounds(x, kDoubleRounds);
    for (int i = 0; i < 16; ++i) {
        const Lanes4 sum = x[i] + start[i];
        for (int l = 0; l < 4; ++l) buffer_[16 * l + i] = sum[l];
    }
#else
    ChaChaState state = input_;
    for (std::uint64_t l = 0; l < kBlocksPerRefill; ++l) {
        set_counter(state, counter + l);
        ChaChaState block;
        chacha_block(state, kDoubleRounds, block);
        std::copy(block.begin(), block.end(), buffer_.begin() + 16 * l);
    }
#endif
    set_counter(input_, counter + kBlocksPerRefill);
    index_ = 0;
}

}  // namespace vorn

#include <vector>
#include <thread>
#include <barrier>
#include <algorithm>
#include "random/thread_generator.h"

#include <gtest/gtest.h>

namespace {

// The first `count` words a thread's generator gives, drawn on a fresh thread
// so that they are the very start of its stream, and that generator's address.
struct ThreadStream {
    std::vector<std::uint64_t> words;
    const void* generator = nullptr;
};

ThreadStream draw_on_fresh_thread(std::size_t count, std::barrier<>& both_drawn) {
    ThreadStream stream;
    std::thread worker([&] {
        vorn::ThreadGenerator& generator = vorn::thread_generator();
        stream.generator = &generator;
        for (std::size_t i = 0; i < count; ++i) stream.words.push_back(generator.next_u64());
        both_drawn.arrive_and_wait();  // keep this thread (and its generator) alive until the other has drawn
    });
    return (worker.join(), stream);
}

}  // namespace

TEST(ThreadGenerator, thread_generator_is_per_thread_and_keeps_drawing_across_rekeys) {
    EXPECT_EQ(&vorn::thread_generator(), &vorn::thread_generator());
    // Three re-keys' worth of words on each of two threads alive at once.
    const std::size_t count = 3 * vorn::ThreadGenerator::kRekeyBlocks * 8;
    std::barrier<> both_drawn(2);
    ThreadStream first, second;
    std::thread other([&] { second = draw_on_fresh_thread(count, both_drawn); });
    first = draw_on_fresh_thread(count, both_drawn);
    other.join();

    // Each thread has its own generator with its own key.
    EXPECT_NE(first.generator, second.generator);
    EXPECT_NE(&vorn::thread_generator(), first.generator);
    ASSERT_EQ(first.words.size(), count);
    EXPECT_NE(first.words, second.words);
    // A re-key takes a fresh key: the stream never starts over, so its first
    // words occur nowhere later (a re-key that kept the key and reset the
    // block counter would repeat them after every kRekeyBlocks blocks).
    const std::vector<std::uint64_t> head(first.words.begin(), first.words.begin() + 8);
    EXPECT_EQ(std::search(first.words.begin() + 1, first.words.end(), head.begin(), head.end()), first.words.end());
    // Nor does it fall back to the all-zero-key stream.
    vorn::ChaCha12Generator zero(vorn::ChaCha12Generator::Key{});
    std::vector<std::uint64_t> zero_head(8);
    for (auto& word : zero_head) word = zero.next_u64();
    EXPECT_EQ(std::search(first.words.begin(), first.words.end(), zero_head.begin(), zero_head.end()),
              first.words.end());
    for (int i = 0; i < 1000; ++i) {
        const double x = vorn::thread_generator().uniform_range(0.0, 1.0);
        ASSERT_TRUE(x >= 0.0 && x < 1.0) << x;
    }
}

TEST(ThreadGenerator, os_entropy_fills_fresh_keys) {
    vorn::ChaCha12Generator::Key a{}, b{};
    EXPECT_EQ(vorn::read_os_entropy(a), 0);
    EXPECT_EQ(vorn::read_os_entropy(b), 0);
    EXPECT_NE(a, b);
}

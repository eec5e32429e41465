#include "simulation/thread_generator.h"

#include <gtest/gtest.h>

TEST(ThreadGenerator, thread_generator_is_per_thread_and_keeps_drawing_across_rekeys) {
    vorn::ThreadGenerator& generator = vorn::thread_generator();
    EXPECT_EQ(&generator, &vorn::thread_generator());
    // Enough draws to pass several re-keys; the values stay in range and do
    // not repeat the all-zero-key stream.
    vorn::ChaCha12Generator zero(vorn::ChaCha12Generator::Key{});
    bool in_range = true, differs = false;
    const int draws = static_cast<int>(3 * vorn::ThreadGenerator::kRekeyBlocks * 8);
    for (int i = 0; i < draws; ++i) {
        const double x = generator.uniform_range(0.0, 1.0);
        in_range = in_range && x >= 0.0 && x < 1.0;
        differs = differs || generator.next_u64() != zero.next_u64();
    }
    ASSERT_TRUE(in_range);
    EXPECT_TRUE(differs);
}

TEST(ThreadGenerator, os_entropy_fills_fresh_keys) {
    vorn::ChaCha12Generator::Key a{}, b{};
    EXPECT_EQ(vorn::read_os_entropy(a), 0);
    EXPECT_EQ(vorn::read_os_entropy(b), 0);
    EXPECT_NE(a, b);
}

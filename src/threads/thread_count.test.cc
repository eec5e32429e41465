#include "threads/thread_count.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

TEST(ThreadCount, every_count_reads_with_any_surrounding_white_space_and_nothing_else_does) {
    const std::string blanks[] = {"", " ", "\t", "  \t", "\n", "\r\n", "\v\f "};
    for (unsigned n = 0; n <= vorn::kMaxThreads + 10; ++n) {
        const std::optional<unsigned> expected =
            n >= 1 && n <= vorn::kMaxThreads ? std::optional<unsigned>(n) : std::nullopt;
        for (const std::string& before : blanks) {
            for (const std::string& after : blanks) {
                ASSERT_EQ(vorn::parse_thread_count(before + std::to_string(n) + after), expected) << n;
            }
        }
        ASSERT_EQ(vorn::parse_thread_count("000" + std::to_string(n)), expected) << n;
        // A sign, a blank inside the number or any other character: refused.
        for (const std::string& spoiled : {"+" + std::to_string(n), "-" + std::to_string(n), std::to_string(n) + " 1",
                                           std::to_string(n) + "x", "0x" + std::to_string(n)}) {
            ASSERT_EQ(vorn::parse_thread_count(spoiled), std::nullopt) << spoiled;
        }
    }
    for (const char* text : {"", " ", "\t\n", "99999999999999999999", "1e2", "2.0", "\xd9\xa2"}) {
        EXPECT_EQ(vorn::parse_thread_count(text), std::nullopt) << text;
    }
}

#include "common/repr_text.h"

#include <cmath>
#include <limits>

#include "common/saturating_u64.h"
#include <gtest/gtest.h>

using namespace vorn;

TEST(ReprText, repr_text_fixed_rounds_exact_binary_value_half_to_even) {
    struct Case {
        double value;
        int decimals;
        const char* text;
    };
    const Case cases[] = {
        {0.025, 4, "0.0250"},
        {0.125, 2, "0.12"},    // exact tie, even digit kept
        {0.375, 2, "0.38"},    // exact tie, rounded up to even
        {2.675, 2, "2.67"},    // stored just below the written tie
        {1.005, 2, "1.00"},
        {12.345, 1, "12.3"},
        {0.05, 1, "0.1"},      // stored just above 0.05
        {0.25, 1, "0.2"},
        {12.3, 1, "12.3"},
        {1e20, 1, "100000000000000000000.0"},
        {-0.00001, 4, "-0.0000"},
        {std::numeric_limits<double>::quiet_NaN(), 4, "NaN"},
        {-std::numeric_limits<double>::quiet_NaN(), 4, "NaN"},
        {std::numeric_limits<double>::infinity(), 2, "inf"},
        {-std::numeric_limits<double>::infinity(), 2, "-inf"},
    };
    for (const Case& c : cases) EXPECT_EQ(fixed_text(c.value, c.decimals), std::string(c.text));
    // The largest finite value still fits the buffer.
    EXPECT_EQ(fixed_text(std::numeric_limits<double>::max(), 4).size(), std::size_t{309 + 5});
}

TEST(ReprText, repr_text_whole_percent_rounds_halves_to_even) {
    struct Case {
        double fraction;
        const char* text;
    };
    const Case cases[] = {
        {0.8, "80"},  {0.125, "12"}, {0.375, "38"}, {0.005, "0"},   {0.015, "2"},
        {1.0, "100"}, {0.0, "0"},    {0.994, "99"}, {0.996, "100"}, {std::nan(""), "NaN"},
    };
    for (const Case& c : cases) {
        std::string text;
        append_whole_percent(text, c.fraction);
        EXPECT_EQ(text, std::string(c.text));
    }
}

TEST(ReprText, repr_text_truncation_to_u64_saturates) {
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    struct Case {
        double value;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {2.5, 2},
        {1.6, 1},
        {0.999, 0},
        {-0.5, 0},
        {-1e300, 0},
        {std::nan(""), 0},
        {18446744073709549568.0, 18446744073709549568ull},  // largest double below 2^64
        {18446744073709551616.0, max},
        {1e300, max},
        {std::numeric_limits<double>::infinity(), max},
    };
    for (const Case& c : cases) EXPECT_EQ(truncate_to_u64(c.value), c.expected);
}

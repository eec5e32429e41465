#include "physical/delivery_histogram.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(DeliveryHistogram, chunks_merged_in_any_split_count_like_one_histogram) {
    // Times spread over many exponents, zero and infinity included, added to
    // one histogram directly and, split at random, to reused (cleared) chunk
    // histograms merged into another: the counts must agree bin by bin.
    std::mt19937_64 rng(77);
    std::vector<double> times;
    for (int k = 0; k < 5000; ++k)
        times.push_back(
            std::ldexp(std::uniform_real_distribution<double>(1, 2)(rng), static_cast<int>(rng() % 100) - 30));
    times.insert(times.end(), {0.0, INFINITY, 1e-300, 3.0, 3.0});
    for (int trial = 0; trial < 20; ++trial) {
        std::shuffle(times.begin(), times.end(), rng);
        vorn::DeliveryHistogram whole, merged, chunk;
        std::size_t k = 0;
        while (k < times.size()) {
            const std::size_t size = 1 + rng() % (trial < 10 ? 7 : 900);
            for (std::size_t end = std::min(times.size(), k + size); k < end; ++k) {
                whole.add(times[k]);
                chunk.add(times[k]);
            }
            merged.add(chunk);
            chunk.clear();
        }
        EXPECT_EQ(merged.counts_by_midpoint(), whole.counts_by_midpoint());
        EXPECT_TRUE(chunk.counts_by_midpoint().empty());
        std::uint64_t total = 0;
        for (const auto& [midpoint, count] : whole.counts_by_midpoint()) total += count;
        EXPECT_EQ(total, times.size());
    }
}

}  // namespace

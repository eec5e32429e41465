#include "analysis/impact_ranking.h"

#include <cmath>

#include <gtest/gtest.h>

using namespace vorn;
using Impacts = std::vector<NamedImpact>;

namespace {

const double kNaN = std::nan("");

std::string names(const Impacts& impacts) {
    std::string text;
    for (const NamedImpact& entry : impacts) text += entry.first;
    return text;
}

Impacts sorted(Impacts impacts) {
    sort_impacts_descending(impacts);
    return impacts;
}

}  // namespace

TEST(ImpactRanking, impact_sort_is_stable_and_descending) {
    EXPECT_EQ(names(sorted({{"a", 0.1}, {"b", 0.5}, {"c", 0.1}, {"d", 0.9}, {"e", 0.5}})), std::string("dbeac"));
    EXPECT_EQ(names(sorted({{"a", 0.0}, {"b", 0.0}, {"c", 0.0}})), std::string("abc"));
    EXPECT_EQ(names(sorted({{"a", -1.0}, {"b", INFINITY}, {"c", 0.0}})), std::string("bca"));
    EXPECT_EQ(names(sorted({})), std::string(""));

    // Long enough that an unstable sort would reorder equal impacts.
    Impacts ties;
    for (int i = 0; i < 300; ++i) ties.emplace_back(std::to_string(1000 + i), (i * 7 % 5) / 4.0);
    const Impacts out = sorted(ties);
    for (std::size_t i = 1; i < out.size(); ++i) {
        EXPECT_TRUE(out[i - 1].second > out[i].second ||
                    (out[i - 1].second == out[i].second && out[i - 1].first < out[i].first));
    }
}

TEST(ImpactRanking, impact_sort_keeps_not_a_number_in_place) {
    struct Case {
        Impacts input;
        const char* order;
    };
    const Case cases[] = {
        {{{"a", 0.1}, {"n", kNaN}, {"b", 0.5}}, "anb"},
        {{{"a", 0.2}, {"b", 0.5}, {"n", kNaN}, {"c", 0.1}, {"d", 0.9}}, "bandc"},
        {{{"n", kNaN}, {"m", kNaN}, {"o", kNaN}}, "nmo"},
        {{{"n", kNaN}, {"a", 0.1}, {"b", 0.3}}, "nba"},
        {{{"a", 0.1}, {"b", 0.3}, {"n", kNaN}}, "ban"},
    };
    for (const Case& c : cases) EXPECT_EQ(names(sorted(c.input)), std::string(c.order));
    // Many entries around NaN barriers: each stretch is ordered on its own and
    // nothing is lost.
    Impacts many;
    for (int i = 0; i < 200; ++i) many.emplace_back(std::to_string(i), i % 17 == 0 ? kNaN : (i * 37 % 101) / 100.0);
    const Impacts out = sorted(many);
    EXPECT_EQ(out.size(), many.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (std::isnan(many[i].second)) {
            EXPECT_EQ(out[i].first, many[i].first);
        } else if (i > 0 && !std::isnan(out[i - 1].second)) {
            EXPECT_GE(out[i - 1].second, out[i].second);
        }
    }
}

TEST(ImpactRanking, impact_merge_keeps_first_position_and_last_value) {
    const Impacts merged =
        merge_equal_names({{"x", 0.9}, {"y", 0.5}, {"x", 0.2}, {"z", 0.1}, {"y", 0.05}, {"x", 0.01}});
    EXPECT_EQ(names(merged), std::string("xyz"));
    EXPECT_EQ(merged[0].second, 0.01);
    EXPECT_EQ(merged[1].second, 0.05);
    EXPECT_EQ(merged[2].second, 0.1);
}

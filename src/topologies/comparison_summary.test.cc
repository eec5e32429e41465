#include "topologies/comparison_summary.h"

#include <cmath>

#include <gtest/gtest.h>

using namespace vorn;
using Results = std::vector<TopologyComparisonResult>;

namespace {

TopologyComparisonResult result(const char* name, double rate, double latency, double fidelity = 0.0) {
    return {name, rate, latency, fidelity, {}};
}

}  // namespace

TEST(ComparisonSummary, comparison_percent_truncates_after_multiplying) {
    struct Case {
        double rate;
        std::uint64_t percent;
    };
    const Case cases[] = {
        {0.57, 56}, {0.857, 85}, {1.0, 100}, {0.0, 0}, {0.999, 99}, {-0.2, 0}, {std::nan(""), 0}, {0.29, 28},
    };
    for (const Case& c : cases) EXPECT_EQ(truncated_percent(c.rate), c.percent);
}

TEST(ComparisonSummary, comparison_summary_full_text) {
    const Results two{result("telecom_backbone", 0.857, 20.0, 0.8),
                      result("hybrid_satellite_fiber", 0.5, 12.5, 0.8246)};
    EXPECT_EQ(comparison_summary(two),
              std::string("Evaluated 2 topologies. Recommended: telecom_backbone. Best success rate: 85 "
                          "(telecom_backbone), Best latency: 12.50ms (hybrid_satellite_fiber). Average fidelity: "
                          "0.8123."));
    EXPECT_EQ(recommend_topology(two), std::string("telecom_backbone"));

    const Results one{result("repeater_chain", 0.57, 7.0, 0.9)};
    EXPECT_EQ(comparison_summary(one),
              std::string("Evaluated 1 topologies. Recommended: repeater_chain. Best success rate: 56 "
                          "(repeater_chain), Best latency: 7.00ms (repeater_chain). Average fidelity: 0.9000."));

    EXPECT_EQ(comparison_summary({}), std::string("No topologies evaluated"));
    EXPECT_EQ(recommend_topology({}), std::string("unknown"));
}

TEST(ComparisonSummary, comparison_summary_latency_rounds_exact_stored_value) {
    struct Case {
        double latency;
        const char* text;
    };
    const Case cases[] = {
        {12.345, "12.35"},   // stored slightly above the written tie
        {2.675, "2.67"},     // stored below the tie
        {0.125, "0.12"},     // exact tie, even digit
        {0.375, "0.38"},   {1234.5678, "1234.57"}, {0.0, "0.00"},
    };
    for (const Case& c : cases) {
        const std::string summary = comparison_summary({result("x", 0.5, c.latency)});
        const std::string expected = std::string("Best latency: ") + c.text + "ms (x)";
        EXPECT_NE(summary.find(expected), std::string::npos);
    }
}

TEST(ComparisonSummary, comparison_ties_pick_last_best_rate_and_first_best_latency) {
    const Results tied{result("first", 0.9, 5.0), result("second", 0.9, 5.0), result("third", 0.4, 5.0)};
    EXPECT_EQ(best_success_index(tied), 1u);
    EXPECT_EQ(best_latency_index(tied), 0u);
    EXPECT_EQ(recommend_topology(tied), std::string("second"));
    const std::string summary = comparison_summary(tied);
    EXPECT_NE(summary.find("Best success rate: 90 (second), Best latency: 5.00ms (first)"), std::string::npos);

    const Results spread{result("a", 0.2, 9.0), result("b", 0.7, 3.0), result("c", 0.3, 3.0), result("d", 0.7, 8.0)};
    EXPECT_EQ(best_success_index(spread), 3u);
    EXPECT_EQ(best_latency_index(spread), 1u);
}

TEST(ComparisonSummary, comparison_not_a_number_never_wins) {
    const double nan = std::nan("");
    EXPECT_EQ(best_success_index({result("a", nan, nan), result("b", 0.1, 4.0), result("c", nan, nan)}), 1u);
    EXPECT_EQ(best_latency_index({result("a", nan, nan), result("b", 0.1, 4.0), result("c", nan, nan)}), 1u);
    EXPECT_EQ(best_success_index({result("a", 0.1, 4.0), result("b", nan, nan)}), 0u);
    EXPECT_EQ(best_latency_index({result("a", 0.1, 4.0), result("b", nan, 1.0)}), 1u);
    EXPECT_EQ(best_success_index({result("a", nan, nan), result("b", nan, nan)}), 0u);
}

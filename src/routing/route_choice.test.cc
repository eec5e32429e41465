#include "routing/route_choice.h"

#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The running-best fold applied candidate by candidate; returns the index of
// the chosen candidate, or -1 for an empty list.
int direct_choice(const std::vector<double>& scores, bool lowest) {
    if (scores.empty()) return -1;
    int best = 0;
    for (int i = 1; i < static_cast<int>(scores.size()); ++i) {
        const bool replace = lowest ? scores[best] > scores[i] : !(scores[best] > scores[i]);
        if (replace) best = i;
    }
    return best;
}

// Summarises scores[begin, end) by splitting it at random points and
// composing the parts, the way the search composes sub-searches.
template <class Choice>
Choice summarise(const std::vector<double>& scores, int begin, int end, std::mt19937& rng) {
    if (end - begin == 1) return Choice::leaf(scores[begin], {static_cast<std::uint32_t>(begin), 1});
    if (end == begin) return Choice{};
    const int split = begin + static_cast<int>(rng() % static_cast<unsigned>(end - begin + 1));
    return Choice::then(summarise<Choice>(scores, begin, split, rng), summarise<Choice>(scores, split, end, rng));
}

template <class Choice>
int summary_choice(const std::vector<double>& scores, std::mt19937& rng) {
    const auto chosen = summarise<Choice>(scores, 0, static_cast<int>(scores.size()), rng).chosen();
    return chosen ? static_cast<int>(chosen->offset) : -1;
}

}  // namespace

TEST(RouteChoice, choice_summaries_compose_like_the_running_best) {
    std::mt19937 rng(7);
    const double pool[] = {0.5, 0.5, 0.8, 1.0, NAN, 0.0, -0.0};
    int mismatches = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        std::vector<double> scores(rng() % 9);
        for (double& s : scores) s = pool[rng() % std::size(pool)];
        if (summary_choice<vorn::LowestChoice>(scores, rng) != direct_choice(scores, true)) ++mismatches;
        if (summary_choice<vorn::HighestChoice>(scores, rng) != direct_choice(scores, false)) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(RouteChoice, choice_summaries_replay_a_repeated_run) {
    // Runs R = [0.9 @0, 0.5 @1] and S = [0.9 @2]; the list R S R ends on the
    // repeat of R, whose 0.9 ties S and wins under the highest rule only.
    using vorn::HighestChoice;
    using vorn::LowestChoice;
    const auto r_high = HighestChoice::then(HighestChoice::leaf(0.9, {0, 1}), HighestChoice::leaf(0.5, {1, 1}));
    const auto s_high = HighestChoice::leaf(0.9, {2, 1});
    EXPECT_EQ(HighestChoice::then(HighestChoice::then(r_high, s_high), r_high).chosen()->offset, 0u);
    EXPECT_EQ(HighestChoice::then(r_high, s_high).chosen()->offset, 2u);
    const auto r_low = LowestChoice::then(LowestChoice::leaf(0.9, {0, 1}), LowestChoice::leaf(0.5, {1, 1}));
    const auto s_low = LowestChoice::leaf(0.5, {2, 1});
    EXPECT_EQ(LowestChoice::then(LowestChoice::then(r_low, s_low), r_low).chosen()->offset, 1u);
    // A NaN first candidate is never replaced under the lowest rule.
    EXPECT_EQ(LowestChoice::then(LowestChoice::leaf(NAN, {5, 1}), r_low).chosen()->offset, 5u);
}

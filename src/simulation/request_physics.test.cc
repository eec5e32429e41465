#include "simulation/request_physics.h"

#include <cmath>

#include <gtest/gtest.h>

using vorn::hop_success_probability;
using vorn::purify_fidelity;

TEST(RequestPhysics, purify_fidelity_values_cap_and_fallback) {
    struct Case {
        double fidelity, beta, expected;
    };
    const Case cases[] = {
        {0.9, 0.022, 0.9531224489795919},
        {0.9, 0.12, 0.999},   // capped after adding the factor
        {0.5, 0.022, 0.6470000000000001},
        {0.0, 0.0, 0.999},    // the quotient is exactly 1 at 0
        {0.0, 0.5, 0.999},
        {-0.5, 0.022, 0.5},   // the normaliser (2F + 1)^2 / 9 is exactly 0
        {NAN, 0.022, 0.5},
        {INFINITY, 0.022, 0.5},    // the normaliser is inf - inf, NaN
        {1.0, 0.0, 0.999},
        {0.8, 0.0, 0.8579881656804734},
        {0.9, NAN, 0.999},  // a NaN factor gives way to the cap
    };
    for (const Case& c : cases) EXPECT_EQ(purify_fidelity(c.fidelity, c.beta), c.expected);
}

TEST(RequestPhysics, hop_success_probability_values_and_bounds) {
    struct Case {
        double distance, link_fidelity, target, expected;
    };
    const Case cases[] = {
        {0.0, 0.9, 0.9, 0.98},
        {100.0, 0.9, 0.9, 0.8875},
        {200.0, 0.9, 0.9, 0.8},
        {1000.0, 0.9, 0.9, 0.628099173553719},
        {0.0, 0.5, 0.9, 0.88},                 // shortfall 0.4 costs 0.12
        {50.0, 0.8, 0.9, 0.9199999999999999},  // 0.98 cap does not apply below it
        {1e12, 0.0, 1.0, 0.5},                 // floor
        {NAN, 0.9, 0.9, 0.5},                  // NaN gives way to the floor
        {-100.0, 0.9, 0.9, 0.5},               // x = -1 divides by zero: -inf, floored
        {0.0, 0.9, NAN, 0.98},                 // no shortfall against NaN
    };
    for (const Case& c : cases) EXPECT_EQ(hop_success_probability(c.distance, c.link_fidelity, c.target), c.expected);
}

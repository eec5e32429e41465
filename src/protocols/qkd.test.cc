#include "protocols/qkd.h"

#include <cmath>
#include <limits>

#include "protocols/scripted_requests.testing.h"
#include <gtest/gtest.h>

using namespace vorn;
using vorn::test_support::ScriptedRequests;

namespace {

Engine qkd_two_node_engine() {
    Engine engine;
    engine.build_network({{"A", 1.0}, {"B", 1.0}}, {{"A", "B", 10.0, 0.95, 1000.0, LinkType::Fiber, std::nullopt}});
    return engine;
}

QKDParameters params(double max_latency_ms, std::uint64_t rounds) {
    QKDParameters p;
    p.from_node = "A";
    p.to_node = "B";
    p.fidelity_target = 0.9;
    p.max_latency_ms = max_latency_ms;
    p.rounds = rounds;
    return p;
}

RequestOutcome success(double fidelity, double latency, std::vector<std::string> path = {"A", "B"}) {
    return vorn::test_support::scripted_success(fidelity, latency, std::move(path));
}
RequestOutcome failure(double latency = 0.0) { return vorn::test_support::scripted_failure(latency); }

void expect_nothing_completed(const QKDResult& r) {
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.secret_key_length_bits, 0u);
    EXPECT_EQ(r.efficiency_rate, 0.0);
    EXPECT_EQ(r.qber, 1.0);
    EXPECT_EQ(r.rounds_completed, 0u);
    EXPECT_TRUE(r.execution_path.empty());
}

}  // namespace

TEST(Qkd, qkd_without_network_or_rounds_runs_nothing) {
    ScriptedRequests script{{success(1.0, 0.0)}, {}};
    const QKDResult no_network = run_qkd(Engine{}, params(100.0, 100), script.runner());
    expect_nothing_completed(no_network);
    EXPECT_EQ(no_network.rounds_failed, 0u);
    EXPECT_EQ(no_network.latency_ms, 0.0);

    const QKDResult no_rounds = run_qkd(qkd_two_node_engine(), params(100.0, 0), script.runner());
    expect_nothing_completed(no_rounds);
    EXPECT_EQ(no_rounds.rounds_failed, 0u);
    EXPECT_EQ(script.seen.size(), 0u);
}

TEST(Qkd, qkd_spent_budget_counts_one_more_failed_round) {
    ScriptedRequests script{{failure(40.0)}, {}};
    const QKDResult r = run_qkd(qkd_two_node_engine(), params(10.0, 100), script.runner());
    // Four failed rounds at 2.5 ms each (the reported 40 ms is ignored), then
    // the fifth budget check stops the exchange.
    EXPECT_EQ(script.seen.size(), 4u);
    EXPECT_EQ(r.rounds_failed, 5u);
    EXPECT_EQ(r.latency_ms, 10.0);
    expect_nothing_completed(r);
    const double budgets[] = {10.0, 7.5, 5.0, 2.5};
    for (std::size_t i = 0; i < script.seen.size(); ++i) {
        EXPECT_EQ(script.seen[i].max_latency_ms, budgets[i]);
        EXPECT_EQ(script.seen[i].fidelity_target, 0.9);
        EXPECT_EQ(script.seen[i].strategy, StrategyType::HighestFidelity);
        EXPECT_EQ(script.seen[i].from_node, std::string("A"));
        EXPECT_EQ(script.seen[i].to, std::string("B"));
    }
}

TEST(Qkd, qkd_no_failed_round_when_rounds_run_out_first) {
    ScriptedRequests script{{failure()}, {}};
    const QKDResult r = run_qkd(qkd_two_node_engine(), params(10.0, 4), script.runner());
    EXPECT_EQ(r.rounds_failed, 4u);
    EXPECT_EQ(r.latency_ms, 10.0);
}

TEST(Qkd, qkd_hundred_rounds_at_095_give_forty_bits) {
    ScriptedRequests script{{success(0.95, 1.0)}, {}};
    const QKDResult r = run_qkd(qkd_two_node_engine(), params(1000.0, 100), script.runner());
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.rounds_completed, 100u);
    EXPECT_EQ(r.rounds_failed, 0u);
    EXPECT_LT(std::fabs(r.qber - 0.025), 1e-12);
    EXPECT_EQ(r.secret_key_length_bits, 40u);
    EXPECT_EQ(r.efficiency_rate, 0.4);
    EXPECT_EQ(r.latency_ms, 100.0);
    EXPECT_EQ(qkd_result_repr(r), std::string("QKDResult(success=true, key_bits=40, qber=0.0250)"));
}

TEST(Qkd, qkd_key_is_truncated_after_sifting_and_after_amplification) {
    ScriptedRequests script{{success(1.0, 0.0)}, {}};
    // 5 × 0.5 = 2.5 -> 2, then 2 × 0.8 = 1.6 -> 1 (one truncation of 2.0 would give 2).
    const QKDResult r = run_qkd(qkd_two_node_engine(), params(100.0, 5), script.runner());
    EXPECT_EQ(r.rounds_completed, 5u);
    EXPECT_EQ(r.secret_key_length_bits, 1u);
    EXPECT_EQ(r.efficiency_rate, 0.2);
}

TEST(Qkd, qkd_tolerance_comparison_is_strict) {
    ScriptedRequests script{{success(0.5, 0.0)}, {}};  // QBER exactly 0.25
    QKDParameters p = params(100.0, 10);
    p.error_rate_tolerance = 0.25;
    const QKDResult at_tolerance = run_qkd(qkd_two_node_engine(), p, script.runner());
    EXPECT_EQ(at_tolerance.qber, 0.25);
    EXPECT_TRUE(at_tolerance.success);  // rounds completed, but no key
    EXPECT_EQ(at_tolerance.secret_key_length_bits, 0u);
    p.error_rate_tolerance = std::nextafter(0.25, 1.0);
    EXPECT_EQ(run_qkd(qkd_two_node_engine(), p, script.runner()).secret_key_length_bits, 4u);
}

TEST(Qkd, qkd_keeps_last_successful_path_and_charges_reported_success_latency) {
    ScriptedRequests script{
        {success(0.9, 3.0, {"A", "X", "B"}), failure(50.0), success(0.8, 4.0, {"A", "B"}), failure(9.0)}, {}};
    script.outcomes.back().execution_path = {"A", "Y", "B"};  // a failed round's path is never reported
    const QKDResult r = run_qkd(qkd_two_node_engine(), params(100.0, 4), script.runner());
    EXPECT_EQ(r.execution_path, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(r.latency_ms, 3.0 + 2.5 + 4.0 + 2.5);
    EXPECT_EQ(r.rounds_completed, 2u);
    EXPECT_EQ(r.rounds_failed, 2u);
    EXPECT_LT(std::fabs(r.qber - (1.0 - 1.7 / 2.0) * 0.5), 1e-15);
    EXPECT_EQ(script.seen[2].max_latency_ms, 100.0 - 5.5);
}

TEST(Qkd, qkd_out_of_range_ratios_saturate_or_vanish) {
    ScriptedRequests script{{success(1.0, 0.0)}, {}};
    struct Case {
        double sifting;
        double amplification;
        std::uint64_t key;
    };
    const Case cases[] = {
        {-1e30, 1.0, std::numeric_limits<std::uint64_t>::max()},
        {1.5, 0.8, 0},              // negative sifted count
        {0.5, -2.0, 0},             // negative key
        {std::nan(""), 0.8, 0},
        {0.5, std::nan(""), 0},
    };
    for (const Case& c : cases) {
        QKDParameters p = params(100.0, 10);
        p.sifting_overhead_ratio = c.sifting;
        p.privacy_amplification_factor = c.amplification;
        EXPECT_EQ(run_qkd(qkd_two_node_engine(), p, script.runner()).secret_key_length_bits, c.key);
    }
}

TEST(Qkd, qkd_through_engine_request_path) {
    // A request from a node to itself succeeds at once with fidelity 1.0.
    QKDParameters p = params(100.0, 5);
    p.to_node = "A";
    const QKDResult r = run_qkd(qkd_two_node_engine(), p);
    EXPECT_EQ(r.rounds_completed, 5u);
    EXPECT_EQ(r.qber, 0.0);
    EXPECT_EQ(r.secret_key_length_bits, 1u);
    EXPECT_EQ(r.execution_path, (std::vector<std::string>{"A"}));

    // Unknown nodes fail every round: 4 rounds in a 10 ms budget, plus the stop.
    p.to_node = "Z";
    p.max_latency_ms = 10.0;
    p.rounds = 100;
    const QKDResult failed = run_qkd(qkd_two_node_engine(), p);
    EXPECT_EQ(failed.rounds_failed, 5u);
    EXPECT_EQ(failed.latency_ms, 10.0);
    EXPECT_FALSE(failed.success);
}

TEST(Qkd, qkd_representations) {
    QKDResult r;
    r.qber = 1.0;
    EXPECT_EQ(qkd_result_repr(r), std::string("QKDResult(success=false, key_bits=0, qber=1.0000)"));
    EXPECT_EQ(qkd_stats_repr({10, 0.8, 36.5, 0.3, 0.02}),
              std::string("QKDStats(runs=10, success=80, mean_key_len=36.5)"));
    EXPECT_EQ(qkd_stats_repr({3, 0.125, 0.25, 0.0, 0.0}),
              std::string("QKDStats(runs=3, success=12, mean_key_len=0.2)"));
}

#include "routing/value_domain.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <limits>

namespace vorn {
namespace {

// Generous per-operation rounding allowance for `count` values: a path has
// at most `count` hops, and bound and score each round once per hop plus a
// few times when combined.
double relative_allowance(std::size_t count) {
    return (8.0 * static_cast<double>(count) + 32.0) * std::numeric_limits<double>::epsilon();
}

// The exponent of the lowest set bit of a finite non-zero value: the value is
// a whole multiple of 2^result.
int lowest_bit_exponent(double value) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);  // in [0.5, 1)
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    return exponent - 53 + std::countr_zero(mantissa);
}

}  // namespace

std::vector<std::uint32_t> joined_component(const SearchGraph& graph, std::uint32_t from) {
    std::vector<char> seen(graph.node_count(), 0);
    std::vector<std::uint32_t> nodes{from};
    seen[from] = 1;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        for (std::uint32_t next : graph.joined(nodes[i])) {
            if (!seen[next]) {
                seen[next] = 1;
                nodes.push_back(next);
            }
        }
    }
    return nodes;
}

bool sums_bounded(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes) {
    double total = 0.0;
    for (std::uint32_t node : nodes) {
        const double v = values[node];
        if (!(v >= 0.0) || !std::isfinite(v)) return false;
        total += v;
    }
    // Twice the total bounds a partial score plus a remaining-path bound.
    return std::isfinite(2.0 * total);
}

double product_growth(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes) {
    double growth = 1.0;
    bool exact = true;  // powers of two multiply exactly (below overflow)
    for (std::uint32_t node : nodes) {
        if (!(values[node] > 1.0)) continue;
        int exponent = 0;
        exact = exact && std::frexp(values[node], &exponent) == 0.5;
        growth *= values[node];
    }
    // Otherwise each multiplication may have rounded down by one part in 2^53.
    return exact ? growth : growth * (1.0 + relative_allowance(nodes.size()));
}

bool products_bounded(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes) {
    const bool finite_non_negative = std::all_of(nodes.begin(), nodes.end(), [&](std::uint32_t node) {
        return values[node] >= 0.0 && std::isfinite(values[node]);
    });
    if (!finite_non_negative) return false;
    // Scores stay below twice the growth; the absolute margin must be finite.
    const double growth = product_growth(values, nodes);
    return std::isfinite(4.0 * growth) && std::isfinite(product_margin(values, nodes).absolute);
}

BoundMargin sum_margin(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes) {
    // Exact when every value is a whole multiple of 2^e and twice the total
    // stays below 2^(53+e): every partial sum is then representable.
    int exponent = INT_MAX;
    double total = 0.0;
    for (std::uint32_t node : nodes) {
        if (values[node] == 0.0) continue;
        exponent = std::min(exponent, lowest_bit_exponent(values[node]));
        total += values[node];
    }
    if (exponent == INT_MAX || total <= std::ldexp(1.0, std::min(exponent + 51, 1023))) return {};
    return {relative_allowance(nodes.size()), 0.0};
}

BoundMargin product_margin(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes) {
    // Exact when every value is a power of two and no product of some of them
    // can leave the normal range: every score is then exact, and so is each
    // factor of a bound, which only rounds up from a true upper bound.
    long below_one = 0, above_one = 0;
    bool powers_of_two = true;
    for (std::uint32_t node : nodes) {
        int exponent = 0;
        powers_of_two = powers_of_two && std::frexp(values[node], &exponent) == 0.5;
        (exponent - 1 < 0 ? below_one : above_one) += exponent - 1;
    }
    if (powers_of_two && below_one >= std::numeric_limits<double>::min_exponent - 1 &&
        above_one < std::numeric_limits<double>::max_exponent - 2) {
        return {};
    }
    // Results that underflow round by up to half the smallest subnormal; the
    // error of a partial score or of the capped bound is then scaled by at
    // most the growth each.
    const double count = static_cast<double>(nodes.size());
    const double growth = product_growth(values, nodes);
    return {relative_allowance(nodes.size()),
            (4.0 * count + 16.0) * std::numeric_limits<double>::denorm_min() * growth * growth};
}

}  // namespace vorn

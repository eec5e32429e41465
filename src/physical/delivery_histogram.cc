#include "physical/delivery_histogram.h"

#include <bit>
#include <cmath>

namespace vorn {

std::size_t DeliveryHistogram::bin_of(double ms) {
    if (!(ms >= std::ldexp(1.0, kMinExponent))) return 0;
    if (!(ms < std::ldexp(1.0, kMaxExponent))) return kBins - 1;
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(ms);
    const int exponent = static_cast<int>(bits >> 52) - 1023;
    const std::size_t sub = static_cast<std::size_t>((bits >> 46) & (kSubBins - 1));
    return static_cast<std::size_t>(exponent - kMinExponent) * kSubBins + sub;
}

double DeliveryHistogram::midpoint(std::size_t bin) {
    const int exponent = static_cast<int>(bin / kSubBins) + kMinExponent;
    const double sub = static_cast<double>(bin % kSubBins);
    return std::ldexp(1.0 + (sub + 0.5) / static_cast<double>(kSubBins), exponent);
}

void DeliveryHistogram::add(const DeliveryHistogram& other) {
    for (std::size_t b = other.low_; b < other.high_; ++b) counts_[b] += other.counts_[b];
    if (other.low_ < low_) low_ = other.low_;
    if (other.high_ > high_) high_ = other.high_;
}

void DeliveryHistogram::clear() {
    for (std::size_t b = low_; b < high_; ++b) counts_[b] = 0;
    low_ = kBins;
    high_ = 0;
}

std::map<double, std::uint64_t> DeliveryHistogram::counts_by_midpoint() const {
    std::map<double, std::uint64_t> counts;
    for (std::size_t b = low_; b < high_; ++b) {
        if (counts_[b] != 0) counts.emplace(midpoint(b), counts_[b]);
    }
    return counts;
}

}  // namespace vorn

// Delivery times counted in bins of fixed relative width, so that ensembles
// split into any chunks merge into exactly the same counts and quantiles.
// A bin covers [2^e (1 + j/64), 2^e (1 + (j + 1)/64)) for e from kMinExponent
// to kMaxExponent - 1; times below the first bin (0 included) count in the
// first, times above the last in the last. A bin is named by its midpoint,
// within 1/128 of every time it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace vorn {

class DeliveryHistogram {
public:
    static constexpr int kMinExponent = -20;
    static constexpr int kMaxExponent = 60;
    static constexpr std::size_t kSubBins = 64;
    static constexpr std::size_t kBins = static_cast<std::size_t>(kMaxExponent - kMinExponent) * kSubBins;

    DeliveryHistogram() : counts_(kBins, 0) {}

    static std::size_t bin_of(double ms);
    static double midpoint(std::size_t bin);

    void add(double ms) {
        const std::size_t bin = bin_of(ms);
        ++counts_[bin];
        low_ = bin < low_ ? bin : low_;
        high_ = bin >= high_ ? bin + 1 : high_;
    }
    // Adds the other's counts; it reads only the bins the other has used, so
    // merging a chunk's few bins costs little (and moves little memory
    // between the cores that filled them).
    void add(const DeliveryHistogram& other);
    void clear();
    // Non-empty bins: midpoint -> count.
    std::map<double, std::uint64_t> counts_by_midpoint() const;

private:
    std::vector<std::uint64_t> counts_;
    // Every non-zero count lies in [low_, high_).
    std::size_t low_ = kBins;
    std::size_t high_ = 0;
};

}  // namespace vorn

// Conversion of a computed real count to an unsigned 64-bit count.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace vorn {

// Drops the fraction; negative values and not-a-number give 0, values of
// 2^64 and more give 2^64 - 1.
inline std::uint64_t truncate_to_u64(double value) {
    if (std::isnan(value) || value <= 0.0) return 0;
    if (value >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(value);
}

}  // namespace vorn

// Equality of reals as the tests mean it: the same bits, or both NaN (test
// code only; nothing in the library uses it).
#pragma once

#include <cstring>

namespace vorn::test_support {

inline bool same_real(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (a != a && b != b); }

}  // namespace vorn::test_support

// Number and flag texts shared by the representations of the protocol
// results and by the comparison summary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn {

// `value` in fixed-point notation with exactly `decimals` fraction digits,
// correctly rounded from the exact binary value (ties to even). Not-a-number
// is written "NaN", infinities "inf" and "-inf".
void append_fixed(std::string& out, double value, int decimals);
std::string fixed_text(double value, int decimals);

// `fraction` × 100 rounded to a whole number (exact halves to even), no sign
// of percent: 0.8 -> "80", 0.125 -> "12".
void append_whole_percent(std::string& out, double fraction);

void append_decimal(std::string& out, std::uint64_t value);

inline std::string_view bool_text(bool value) { return value ? "true" : "false"; }

}  // namespace vorn

#include "common/repr_text.h"

#include <charconv>
#include <cmath>

namespace vorn {

void append_fixed(std::string& out, double value, int decimals) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    // The largest finite double has 309 integral digits; 64 fraction digits
    // are more than any caller asks for.
    if (decimals < 0) decimals = 0;
    if (decimals > 64) decimals = 64;
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec == std::errc{}) out.append(buffer, end);
}

std::string fixed_text(double value, int decimals) {
    std::string text;
    append_fixed(text, value, decimals);
    return text;
}

void append_whole_percent(std::string& out, double fraction) { append_fixed(out, fraction * 100.0, 0); }

void append_decimal(std::string& out, std::uint64_t value) {
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec == std::errc{}) out.append(buffer, end);
}

}  // namespace vorn

#include "formats/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace vorn {

namespace {

// The shortest round-trip digits of a finite value, without sign or leading
// zeros, and where the decimal point goes: value = 0.DIGITS x 10^point.
struct ShortestDigits {
    bool negative = false;
    char digits[24] = {};
    int count = 0;
    int point = 0;
};

ShortestDigits shortest_digits(double value) {
    // Scientific notation without a precision gives the shortest digits that
    // read back exactly, as "d.ddde+XX".
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    ShortestDigits out;
    const char* p = text;
    if (*p == '-') {
        out.negative = true;
        ++p;
    }
    for (; p != result.ptr && *p != 'e'; ++p) {
        if (*p != '.') out.digits[out.count++] = *p;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), result.ptr, exponent);
    out.point = exponent + 1;
    return out;
}

void append_zeros(std::string& out, int count) {
    if (count > 0) out.append(static_cast<std::size_t>(count), '0');
}

// Each layout writes the sign first.

// d.ddd e X: the exponent layout shared by the json and debug forms.
void append_exponent_form(std::string& out, const ShortestDigits& d) {
    if (d.negative) out.push_back('-');
    out.push_back(d.digits[0]);
    if (d.count > 1) {
        out.push_back('.');
        out.append(d.digits + 1, static_cast<std::size_t>(d.count - 1));
    }
    out.push_back('e');
    out.append(std::to_string(d.point - 1));
}

// Decimal layout without exponent; integral values get no fractional part.
void append_positional_form(std::string& out, const ShortestDigits& d) {
    if (d.negative) out.push_back('-');
    if (d.point >= d.count) {
        out.append(d.digits, static_cast<std::size_t>(d.count));
        append_zeros(out, d.point - d.count);
    } else if (d.point > 0) {
        out.append(d.digits, static_cast<std::size_t>(d.point));
        out.push_back('.');
        out.append(d.digits + d.point, static_cast<std::size_t>(d.count - d.point));
    } else {
        out.append("0.");
        append_zeros(out, -d.point);
        out.append(d.digits, static_cast<std::size_t>(d.count));
    }
}

// Decimal layout with at least one fractional digit (100.0, 0.95): the
// decimal layout shared by the json and debug forms.
void append_fractional_form(std::string& out, const ShortestDigits& d) {
    append_positional_form(out, d);
    if (d.point >= d.count) out.append(".0");
}

bool append_non_finite(std::string& out, double value) {
    if (std::isnan(value)) {
        out.append("NaN");
    } else if (std::isinf(value)) {
        out.append(value < 0 ? "-inf" : "inf");
    } else {
        return false;
    }
    return true;
}

}  // namespace

void append_json_float(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    const ShortestDigits d = shortest_digits(value);
    if (d.point > -5 && d.point <= 16) {
        append_fractional_form(out, d);
    } else {
        append_exponent_form(out, d);
    }
}

std::string json_float_text(double value) {
    std::string out;
    append_json_float(out, value);
    return out;
}

std::string plain_number_text(double value) {
    std::string out;
    if (!append_non_finite(out, value)) append_positional_form(out, shortest_digits(value));
    return out;
}

std::string debug_number_text(double value) {
    std::string out;
    if (append_non_finite(out, value)) return out;
    const ShortestDigits d = shortest_digits(value);
    const double magnitude = std::fabs(value);
    if (magnitude != 0.0 && (magnitude < 1e-4 || magnitude >= 1e16)) {
        append_exponent_form(out, d);
    } else {
        append_fractional_form(out, d);
    }
    return out;
}

}  // namespace vorn

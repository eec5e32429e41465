#include "formats/number_text.h"

#include <cmath>
#include <limits>
#include <string>

#include "formats/json_text.h"
#include "formats/quoted_text.h"
#include <gtest/gtest.h>

using namespace vorn;

namespace {

struct FloatForms {
    double value;
    const char* json;
    const char* plain;
    const char* debug;
};

const FloatForms kForms[] = {
    {2.0, "2.0", "2", "2.0"},
    {100.0, "100.0", "100", "100.0"},
    {-5.0, "-5.0", "-5", "-5.0"},
    {0.0, "0.0", "0", "0.0"},
    {-0.0, "-0.0", "-0", "-0.0"},
    {0.95, "0.95", "0.95", "0.95"},
    {1.5, "1.5", "1.5", "1.5"},
    {0.1 + 0.2, "0.30000000000000004", "0.30000000000000004", "0.30000000000000004"},
    {123456789.125, "123456789.125", "123456789.125", "123456789.125"},
    {0.0001, "0.0001", "0.0001", "0.0001"},
    {0.00001, "0.00001", "0.00001", "1e-5"},
    {2.5e-5, "0.000025", "0.000025", "2.5e-5"},
    {1e-6, "1e-6", "0.000001", "1e-6"},
    {1e-7, "1e-7", "0.0000001", "1e-7"},
    {-1.5e-7, "-1.5e-7", "-0.00000015", "-1.5e-7"},
    {1e15, "1000000000000000.0", "1000000000000000", "1000000000000000.0"},
    {9999999999999998.0, "9999999999999998.0", "9999999999999998", "9999999999999998.0"},
    {1e16, "1e16", "10000000000000000", "1e16"},
    {1.5e16, "1.5e16", "15000000000000000", "1.5e16"},
    {1e20, "1e20", "100000000000000000000", "1e20"},
    {1234.5e20, "1.2345e23", "123450000000000000000000", "1.2345e23"},
    {5e-324, "5e-324", nullptr, "5e-324"},
    {1.7976931348623157e308, "1.7976931348623157e308", nullptr, "1.7976931348623157e308"},
    {std::numeric_limits<double>::quiet_NaN(), "null", "NaN", "NaN"},
    {std::numeric_limits<double>::infinity(), "null", "inf", "inf"},
    {-std::numeric_limits<double>::infinity(), "null", "-inf", "-inf"},
};

}  // namespace

TEST(NumberText, number_text_float_forms) {
    for (const FloatForms& f : kForms) {
        EXPECT_EQ(json_float_text(f.value), std::string(f.json));
        if (f.plain != nullptr) {
            EXPECT_EQ(plain_number_text(f.value), std::string(f.plain));
        }
        EXPECT_EQ(debug_number_text(f.value), std::string(f.debug));
    }
    // The plain form never uses an exponent, however large or small.
    EXPECT_EQ(plain_number_text(5e-324), "0." + std::string(323, '0') + "5");
    EXPECT_EQ(plain_number_text(1.7976931348623157e308), "17976931348623157" + std::string(292, '0'));
}

TEST(NumberText, number_text_forms_read_back_exactly) {
    const double values[] = {
        0.1,  1.0 / 3.0, 2.0 / 3.0 * 1e-200, 6.02214076e23, 4.9e-324, 2.2250738585072014e-308, 9007199254740993.0,
        1e22, 123.456};
    for (const double value : values) {
        for (const std::string& text : {json_float_text(value), plain_number_text(value), debug_number_text(value)}) {
            EXPECT_EQ(std::strtod(text.c_str(), nullptr), value);
        }
    }
}

TEST(NumberText, json_text_escapes) {
    EXPECT_EQ(json_string_text("plain / text"), std::string("\"plain / text\""));
    EXPECT_EQ(json_string_text("\"\\\n\r\t\b\f"), std::string(R"("\"\\\n\r\t\b\f")"));
    EXPECT_EQ(json_string_text(std::string("\x00\x01\x1f\x7f", 4)), std::string("\"\\u0000\\u0001\\u001f\x7f\""));
    EXPECT_EQ(json_string_text("\xc3\xa9\xe2\x82\xac"), std::string("\"\xc3\xa9\xe2\x82\xac\""));
}

TEST(NumberText, quoted_text_escapes_quotes_backslashes_and_controls) {
    EXPECT_EQ(quoted_text("Lab"), std::string("\"Lab\""));
    EXPECT_EQ(quoted_text("it's \"x\" \\"), std::string(R"("it's \"x\" \\")"));
    EXPECT_EQ(quoted_text(std::string("\n\r\t\0", 4)), std::string(R"("\n\r\t\0")"));
    EXPECT_EQ(quoted_text("\x1b\x7f"), std::string(R"("\u{1b}\u{7f}")"));
    EXPECT_EQ(quoted_text("\xc2\x85\xc3\xa9"), std::string("\"\\u{85}\xc3\xa9\""));
}

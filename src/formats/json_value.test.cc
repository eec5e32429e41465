#include "formats/json_value.h"

#include <string>

#include "formats/json_reader.h"
#include "formats/json_writer.h"
#include <gtest/gtest.h>

using vorn::JsonValue;
using vorn::parse_json_value;

TEST(JsonValue, json_value_equality) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"1", "1", true},
        {"1", "1.0", false},
        {"-1", "-1.0", false},
        {"1.0", "1e0", true},
        {"0.0", "-0.0", true},
        {"\"a\"", "\"a\"", true},
        {"\"a\"", "\"b\"", false},
        {"null", "false", false},
        {"[1, 2]", "[1, 2]", true},
        {"[1, 2]", "[2, 1]", false},
        {"[1]", "[1, 1]", false},
        {R"({"a": 1, "b": [true]})", R"({"b": [true], "a": 1})", true},
        {R"({"a": 1})", R"({"a": 1, "b": 2})", false},
        {R"({"a": {"x": 1}})", R"({"a": {"x": 1.0}})", false},
        {"{}", "[]", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse_json_value(c.a) == parse_json_value(c.b), c.equal);
        EXPECT_EQ(parse_json_value(c.b) == parse_json_value(c.a), c.equal);
    }
    // Repeated keys built by hand cannot make different objects equal.
    const JsonValue twice(JsonValue::Object{{"a", 1}, {"a", 1}});
    const JsonValue other(JsonValue::Object{{"a", 1}, {"b", 1}});
    EXPECT_FALSE((twice == other));
    EXPECT_FALSE((other == twice));
}

TEST(JsonValue, json_value_integers_have_one_form) {
    EXPECT_EQ(JsonValue(5), JsonValue(std::uint64_t{5}));
    EXPECT_EQ(JsonValue(5).kind(), JsonValue::Kind::Unsigned);
    EXPECT_EQ(JsonValue(-5).kind(), JsonValue::Kind::Signed);
    EXPECT_EQ(JsonValue(std::int64_t{7}).kind(), JsonValue::Kind::Unsigned);
    EXPECT_EQ(JsonValue(5.0).kind(), JsonValue::Kind::Float);
}

TEST(JsonValue, json_value_written_pretty_and_read_back) {
    const std::string text = R"({
  "z": [
    1,
    -2,
    2.5,
    1e-7,
    "s\"\n"
  ],
  "a": {
    "e": [],
    "o": {},
    "b": false
  },
  "n": null
})";
    const JsonValue value = parse_json_value(text);
    EXPECT_EQ(vorn::write_json_value_text(value), text);
    EXPECT_EQ(vorn::write_json_value_text(JsonValue(3)), std::string("3"));
    EXPECT_EQ(vorn::write_json_value_text(JsonValue(JsonValue::Array{})), std::string("[]"));
}

#include "formats/json_reader.h"

#include <cmath>
#include <string>
#include <vector>

#include "formats/reader_error_case.testing.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using vorn::JsonValue;
using vorn::parse_json_value;
using vorn::test_support::marked_error;
using vorn::test_support::reader_message;

namespace {

std::string value_error(const std::string& input) {
    return reader_message([](const std::string& t) { return parse_json_value(t); }, input);
}

// The syntax messages with the exact place each one names.
struct SyntaxCase {
    const char* input;
    const char* expected;
};

const SyntaxCase kSyntaxCases[] = {
    {"", "EOF while parsing a value at line 1 column 0"},
    {"   ", "EOF while parsing a value at line 1 column 3"},
    {"[", "EOF while parsing a list at line 1 column 1"},
    {"[ ", "EOF while parsing a list at line 1 column 2"},
    {"[1", "EOF while parsing a list at line 1 column 2"},
    {"[1,", "EOF while parsing a value at line 1 column 3"},
    {"[1,]", "trailing comma at line 1 column 4"},
    {"[1 2]", "expected `,` or `]` at line 1 column 4"},
    {"[1}", "expected `,` or `]` at line 1 column 3"},
    {"[,1]", "expected value at line 1 column 2"},
    {"[]a", "trailing characters at line 1 column 3"},
    {"{", "EOF while parsing an object at line 1 column 1"},
    {"{1", "key must be a string at line 1 column 2"},
    {"{,}", "key must be a string at line 1 column 2"},
    {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
    {"{\"a\" ", "EOF while parsing an object at line 1 column 5"},
    {"{\"a\" 1", "expected `:` at line 1 column 6"},
    {"{\"a\":", "EOF while parsing a value at line 1 column 5"},
    {"{\"a\":1", "EOF while parsing an object at line 1 column 6"},
    {"{\"a\":1 1", "expected `,` or `}` at line 1 column 8"},
    {"{\"a\":1]", "expected `,` or `}` at line 1 column 7"},
    {"{\"a\":1,", "EOF while parsing a value at line 1 column 7"},
    {"{\"a\":1,}", "trailing comma at line 1 column 8"},
    {"{}a", "trailing characters at line 1 column 3"},
    {"x", "expected value at line 1 column 1"},
    {"+1", "expected value at line 1 column 1"},
    {".5", "expected value at line 1 column 1"},
    {"n", "EOF while parsing a value at line 1 column 1"},
    {"tru", "EOF while parsing a value at line 1 column 3"},
    {"trux", "expected ident at line 1 column 4"},
    {"nulla", "trailing characters at line 1 column 5"},
    {"fals e", "expected ident at line 1 column 5"},
    {"-", "EOF while parsing a value at line 1 column 1"},
    {"-x", "invalid number at line 1 column 2"},
    {"00", "invalid number at line 1 column 2"},
    {"-01", "invalid number at line 1 column 3"},
    {"0x10", "trailing characters at line 1 column 2"},
    {"1.", "EOF while parsing a value at line 1 column 2"},
    {"1.a", "invalid number at line 1 column 3"},
    {"1.e5", "invalid number at line 1 column 3"},
    {"1e", "EOF while parsing a value at line 1 column 2"},
    {"1e+", "EOF while parsing a value at line 1 column 3"},
    {"1ea", "invalid number at line 1 column 3"},
    {"1a", "trailing characters at line 1 column 2"},
    {"1e309", "number out of range at line 1 column 5"},
    {"-1e309", "number out of range at line 1 column 6"},
    {"[1.5e400]", "number out of range at line 1 column 8"},
    // The exponent overflows 32 bits at its tenth digit.
    {"100e777777777777777777777777777", "number out of range at line 1 column 14"},
    {"\"abc", "EOF while parsing a string at line 1 column 4"},
    {"\"a\\", "EOF while parsing a string at line 1 column 3"},
    {"\"\\x\"", "invalid escape at line 1 column 3"},
    {"\"\\u12\"", "EOF while parsing a string at line 1 column 6"},
    {"\"\\u12G4\"", "invalid escape at line 1 column 6"},
    {"\"\\uDC00\"", "lone leading surrogate in hex escape at line 1 column 7"},
    {"\"\\uD800x\"", "unexpected end of hex escape at line 1 column 8"},
    {"\"\\uD800\\n\"", "unexpected end of hex escape at line 1 column 9"},
    {"\"\\uD800\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
    {"\"\\uD800", "EOF while parsing a string at line 1 column 7"},
    {"\"\n\"", "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
    {"\"\x1f\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
    {"\"\xff\"", "invalid unicode code point at line 1 column 3"},
    {"\"\xed\xa0\x80\"", "invalid unicode code point at line 1 column 3"},
    {"[1]\n x", "trailing characters at line 2 column 2"},
    {"{\n  \"a\": tru\n}", "expected ident at line 3 column 0"},
    // Columns count characters, not bytes.
    {"\"\xc3\xa9\" x", "trailing characters at line 1 column 5"},
};

}  // namespace

TEST(JsonReader, json_reader_syntax_messages_and_positions) {
    for (const SyntaxCase& c : kSyntaxCases) EXPECT_EQ(value_error(c.input), std::string(c.expected));
}

TEST(JsonReader, json_reader_error_keeps_description_and_position) {
    using ::testing::Field;
    using ::testing::Property;
    const auto parse = [] { parse_json_value("[1,\n  2 3]"); };
    EXPECT_THAT(parse, ::testing::Throws<vorn::JsonError>(::testing::AllOf(
                           Property(&vorn::JsonError::description, ::testing::StrEq("expected `,` or `]`")),
                           Property(&vorn::JsonError::position,
                                    ::testing::AllOf(Field(&vorn::TextPosition::line, std::size_t{2}),
                                                     Field(&vorn::TextPosition::column, std::size_t{5}))))));
    // Reader failures are operation errors (RuntimeError in Python).
    EXPECT_THROW(parse(), vorn::OperationError);
}

TEST(JsonReader, json_reader_numbers_keep_integers_and_round_floats) {
    const auto parsed = [](const char* text) { return parse_json_value(text); };
    EXPECT_EQ(parsed("18446744073709551615"), JsonValue(std::uint64_t{18446744073709551615u}));
    EXPECT_EQ(parsed("-9223372036854775808"), JsonValue(std::int64_t{-9223372036854775807 - 1}));
    // Beyond 64 bits an integer literal becomes a float.
    EXPECT_EQ(parsed("18446744073709551616"), JsonValue(18446744073709551616.0));
    EXPECT_EQ(parsed("-9223372036854775809"), JsonValue(-9223372036854775809.0));
    EXPECT_EQ(parsed("0"), JsonValue(0));
    EXPECT_EQ(parsed("0").kind(), JsonValue::Kind::Unsigned);
    EXPECT_EQ(parsed("-5").kind(), JsonValue::Kind::Signed);
    // "-0" is the float negative zero.
    EXPECT_EQ(parsed("-0").kind(), JsonValue::Kind::Float);
    EXPECT_TRUE(std::signbit(parsed("-0").as_float()));
    EXPECT_EQ(parsed("1.0").kind(), JsonValue::Kind::Float);
    EXPECT_EQ(parsed("1E2").as_float(), 100.0);
    EXPECT_EQ(parsed("0.1").as_float(), 0.1);
    EXPECT_EQ(parsed("2.2250738585072011e-308").as_float(), 2.2250738585072011e-308);
    EXPECT_EQ(parsed("1.7976931348623157e308").as_float(), 1.7976931348623157e308);
    EXPECT_EQ(parsed("4.9e-324").as_float(), 4.9e-324);
    // Underflow becomes zero, with the sign kept.
    EXPECT_EQ(parsed("1e-400").as_float(), 0.0);
    EXPECT_TRUE(std::signbit(parsed("-1e-400").as_float()));
    EXPECT_EQ(parsed("0e999999999999").as_float(), 0.0);
    EXPECT_EQ(parsed("5e-99999999999").as_float(), 0.0);
}

TEST(JsonReader, json_reader_strings_decode_escapes) {
    EXPECT_EQ(parse_json_value(R"("a\"b\\c\/d\b\f\n\r\t")").as_string(), std::string("a\"b\\c/d\b\f\n\r\t"));
    EXPECT_EQ(parse_json_value(R"("\u00e9\u20AC\uD83D\uDE00")").as_string(),
              std::string("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"));
    EXPECT_EQ(parse_json_value("\"\xc3\xa9 raw\"").as_string(), std::string("\xc3\xa9 raw"));
    EXPECT_EQ(parse_json_value(R"("\u0000")").as_string(), std::string(1, '\0'));
}

TEST(JsonReader, json_reader_nesting_limit_is_128_levels) {
    const auto nested = [](std::size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); };
    EXPECT_EQ(value_error(nested(128)), std::string("no error"));
    EXPECT_EQ(value_error(nested(129)), std::string("recursion limit exceeded at line 1 column 129"));
    EXPECT_EQ(value_error(std::string(100000, '[')), std::string("recursion limit exceeded at line 1 column 129"));
    std::string objects;
    for (int i = 0; i < 129; ++i) objects += "{\"a\":";
    EXPECT_EQ(value_error(objects),
              std::string("recursion limit exceeded at line 1 column ") + std::to_string(128 * 5 + 1));
}

TEST(JsonReader, json_reader_objects_keep_order_and_merge_repeated_keys) {
    const JsonValue value = parse_json_value(R"({"b": 1, "a": [true, null], "b": 2.5, "c": {}})");
    const JsonValue::Object& members = value.as_object();
    EXPECT_EQ(members.size(), std::size_t{3});
    EXPECT_EQ(members[0].key, std::string("b"));
    EXPECT_EQ(members[0].value, JsonValue(2.5));
    EXPECT_EQ(members[1].key, std::string("a"));
    EXPECT_EQ(members[2].key, std::string("c"));
}

TEST(JsonReader, json_reader_typed_reads_describe_what_they_found) {
    using vorn::json::JsonReader;
    const auto f64_error = [](const std::string& text) {
        return reader_message([](const std::string& t) { JsonReader(t).read_f64(); }, text);
    };
    const auto string_error = [](const std::string& text) {
        return reader_message([](const std::string& t) { JsonReader(t).read_string(); }, text);
    };
    const auto u32_error = [](const std::string& text) {
        return reader_message([](const std::string& t) { JsonReader(t).read_u32(); }, text);
    };
    struct Case {
        std::string (*read)(const std::string&);
        const char* marked;
        const char* description;
    };
    const Case cases[] = {
        {+f64_error, "\"abc\"§", "invalid type: string \"abc\", expected f64"},
        {+f64_error, "\"a\\\"b\\n\"§", "invalid type: string \"a\\\"b\\n\", expected f64"},
        {+f64_error, "true§", "invalid type: boolean `true`, expected f64"},
        {+f64_error, " false§ ", "invalid type: boolean `false`, expected f64"},
        {+f64_error, "null§", "invalid type: null, expected f64"},
        {+f64_error, " §[1]", "invalid type: sequence, expected f64"},
        {+f64_error, "§{}", "invalid type: map, expected f64"},
        {+f64_error, "x§", "expected value"},
        {+f64_error, "  §", "EOF while parsing a value"},
        {+string_error, "5§", "invalid type: integer `5`, expected a string"},
        {+string_error, "-12§,", "invalid type: integer `-12`, expected a string"},
        {+string_error, "2.50§", "invalid type: floating point `2.5`, expected a string"},
        {+string_error, "1e20§", "invalid type: floating point `1e20`, expected a string"},
        {+string_error, "null§", "invalid type: null, expected a string"},
        {+string_error, "nulx§", "expected ident"},
        {+u32_error, "4.0§", "invalid type: floating point `4.0`, expected u32"},
        {+u32_error, "-0§", "invalid type: floating point `-0.0`, expected u32"},
        {+u32_error, "-1§", "invalid value: integer `-1`, expected u32"},
        {+u32_error, "4294967296§", "invalid value: integer `4294967296`, expected u32"},
        {+u32_error, "18446744073709551616§", "invalid type: floating point `1.8446744073709552e19`, expected u32"},
        {+u32_error, "\"4\"§", "invalid type: string \"4\", expected u32"},
    };
    for (const Case& c : cases) {
        const auto expected = marked_error(c.marked, c.description);
        EXPECT_EQ(c.read(expected.input), expected.expected);
    }
    EXPECT_EQ(JsonReader("4294967295").read_u32(), 4294967295u);
    EXPECT_EQ(JsonReader(" 7 ").read_f64(), 7.0);
    EXPECT_EQ(JsonReader("-7").read_f64(), -7.0);
}

TEST(JsonReader, json_reader_variants_by_name_or_object_form) {
    using vorn::json::JsonReader;
    static constexpr std::string_view kNames[] = {"ground", "satellite", "repeater"};
    static constexpr std::string_view kTwo[] = {"Fiber", "Satellite"};
    EXPECT_EQ(JsonReader("\"repeater\"").read_variant(kNames), std::size_t{2});
    EXPECT_EQ(JsonReader("{\"satellite\": null}").read_variant(kNames), std::size_t{1});
    const auto variant_error = [](const std::string& text) {
        return reader_message([](const std::string& t) { JsonReader(t).read_variant(kNames); }, text);
    };
    const auto two_error = [](const std::string& text) {
        return reader_message([](const std::string& t) { JsonReader(t).read_variant(kTwo); }, text);
    };
    struct Case {
        std::string (*read)(const std::string&);
        const char* marked;
        const char* description;
    };
    const Case cases[] = {
        {+variant_error, "\"Ground\"§", "unknown variant `Ground`, expected one of `ground`, `satellite`, `repeater`"},
        {+two_error, "\"fiber\"§", "unknown variant `fiber`, expected `Fiber` or `Satellite`"},
        {+variant_error, "5§", "expected value"},
        {+variant_error, "[§]", "expected value"},
        {+variant_error, "{}§", "expected value"},
        {+variant_error, "{\"x\"§:null}", "unknown variant `x`, expected one of `ground`, `satellite`, `repeater`"},
        {+variant_error, "{5§:null}", "invalid type: integer `5`, expected variant identifier"},
        {+variant_error, "{\"ground\":§{}}", "invalid type: map, expected unit"},
        {+variant_error, "{\"ground\":}§", "expected value"},
        {+variant_error, "{\"ground\":null §1}", "expected value"},
        {+variant_error, "{\"ground\":null§", "EOF while parsing an object"},
    };
    for (const Case& c : cases) {
        const auto expected = marked_error(c.marked, c.description);
        EXPECT_EQ(c.read(expected.input), expected.expected);
    }
}

TEST(JsonReader, json_reader_skips_values_checking_syntax_only) {
    using vorn::json::JsonReader;
    const auto skip_error = [](const std::string& text) {
        return reader_message(
            [](const std::string& t) {
                JsonReader reader(t);
                reader.skip_value();
                reader.finish();
            },
            text);
    };
    // Accepted: a skipped value is not converted, so range and surrogate
    // pairing do not apply.
    for (const char* text : {"[1, {\"a\": [true, false, null]}, \"x\\\"y\", -0.5e-3]", "1e400", "\"\\uDC00\"", "{}",
                             "[]", "  \"\"  ", "[[[]],{}]"}) {
        EXPECT_EQ(skip_error(text), std::string("no error"));
    }
    struct Case {
        const char* marked;
        const char* description;
    };
    const Case cases[] = {
        {"[1,]§", "expected value"},
        {"{\"a\":1,}§", "key must be a string"},
        {"[1 2§]", "expected `,` or `]`"},
        {"{\"a\":1 \"§b\":2}", "expected `,` or `}`"},
        {"{\"a\" 1§}", "expected `:`"},
        {"{1§:2}", "key must be a string"},
        {"[1§", "EOF while parsing a list"},
        {"{\"a\":1§", "EOF while parsing an object"},
        {"[1,§", "EOF while parsing a value"},
        {"-§", "invalid number"},
        {"1.§", "invalid number"},
        {"1e§", "invalid number"},
        {"01§", "invalid number"},
        {"\"ab§", "EOF while parsing a string"},
        {"\"\\q§\"", "invalid escape"},
        {"\"\t§\"", "control character (\\u0000-\\u001F) found while parsing a string"},
        {"tx§", "expected ident"},
        {"[] 1§", "trailing characters"},
    };
    for (const Case& c : cases) {
        const auto expected = marked_error(c.marked, c.description);
        EXPECT_EQ(skip_error(expected.input), expected.expected);
    }
    EXPECT_EQ(skip_error(std::string(128, '[') + std::string(128, ']')), std::string("no error"));
    EXPECT_EQ(skip_error(std::string(129, '[')), std::string("recursion limit exceeded at line 1 column 129"));
}

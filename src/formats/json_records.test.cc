// The table-driven record layer with a record shaped like the ones other
// documents use: camelCase keys, an enumeration with capitalised names, a
// member with a default when absent and a nested record written as null.
#include "formats/json_records.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "formats/reader_error_case.testing.h"
#include <gtest/gtest.h>

namespace {

enum class Kind : std::uint8_t { Plain = 0, Fancy = 1 };

struct Inner {
    double weight = 0.0;
    friend bool operator==(const Inner&, const Inner&) = default;
};

struct Item {
    std::string name;
    Kind kind = Kind::Plain;
    std::optional<Inner> inner;
    std::vector<double> values;
    friend bool operator==(const Item&, const Item&) = default;
};

}  // namespace

namespace vorn::json {

inline constexpr std::array<std::string_view, 2> kKindNames{"Plain", "Fancy"};
template <>
struct Codec<Kind> : EnumCodec<Kind, kKindNames> {};

inline constexpr std::array kInnerFields{required_field<&Inner::weight>("weightKg")};
inline constexpr RecordFormat<Inner> kInnerFormat{"Inner", kInnerFields};
template <>
struct Codec<Inner> : RecordCodec<Inner, kInnerFormat> {};

inline constexpr std::array kItemFields{
    required_field<&Item::name>("itemName"),
    optional_field<&Item::kind>("itemKind"),
    nullable_field<&Item::inner>("inner"),
    required_field<&Item::values>("values"),
};
inline constexpr RecordFormat<Item> kItemFormat{"Item", kItemFields};

}  // namespace vorn::json

using vorn::json::kItemFormat;
using vorn::json::parse_record_text;
using vorn::json::write_record_text;
using vorn::test_support::marked_error;
using vorn::test_support::reader_message;

TEST(JsonRecords, json_records_defaults_and_nullable_members) {
    const Item item = parse_record_text(R"({"values": [1, 2.5], "itemName": "x", "other": {"k": []}})", kItemFormat);
    EXPECT_EQ(item, (Item{"x", Kind::Plain, std::nullopt, {1.0, 2.5}}));
    const Item fancy = parse_record_text(R"(["y", "Fancy", {"weightKg": 3}, []])", kItemFormat);
    EXPECT_EQ(fancy, (Item{"y", Kind::Fancy, Inner{3.0}, {}}));
    // An absent nested record is written as null; the rest as declared.
    EXPECT_EQ(write_record_text(kItemFormat, item), std::string(R"({
  "itemName": "x",
  "itemKind": "Plain",
  "inner": null,
  "values": [
    1.0,
    2.5
  ]
})"));
    EXPECT_EQ(parse_record_text(write_record_text(kItemFormat, fancy), kItemFormat), fancy);
}

TEST(JsonRecords, json_records_messages) {
    const auto item_error = [](const std::string& text) {
        return reader_message([](const std::string& t) { parse_record_text(t, kItemFormat); }, text);
    };
    struct Case {
        const char* marked;
        const char* description;
    };
    const Case cases[] = {
        {R"({"itemName": "x"}§)", "missing field `values`"},
        {R"({"itemName": "x", "itemKind": n§ull, "values": []})", "expected value"},
        {R"({"itemName": "x", "itemKind": "Odd"§, "values": []})",
         "unknown variant `Odd`, expected `Plain` or `Fancy`"},
        {R"({"itemName": "x", "inner": {"weight": 1}§, "values": []})", "missing field `weightKg`"},
        {R"({"itemName": "x", "values": [1, "2"§]})", "invalid type: string \"2\", expected f64"},
        {R"(["x", "Plain"]§)", "invalid length 2, expected struct Item with 4 elements"},
        {R"(["x", "Plain", null, [], 5§])", "trailing characters"},
        {R"({"itemName": "x", "itemName"§: "y"})", "duplicate field `itemName`"},
        {R"({"itemName": "x", "inner": 5§, "values": []})", "invalid type: integer `5`, expected struct Inner"},
        {R"({"itemName": "x", "inner": []§, "values": []})", "invalid length 0, expected struct Inner with 1 element"},
    };
    for (const Case& c : cases) {
        const auto expected = marked_error(c.marked, c.description);
        EXPECT_EQ(item_error(expected.input), expected.expected);
    }
}

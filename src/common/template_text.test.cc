#include "common/template_text.h"

#include <gtest/gtest.h>

// Placeholders are filled wherever they stand, repeated or adjacent; braces
// that name no field, unclosed braces and braces inside the filled texts stay.
TEST(TemplateText, fills_named_placeholders_and_leaves_the_rest) {
    struct Row {
        const char* text;
        const char* expected;
    } rows[] = {
        {"", ""},
        {"no placeholder", "no placeholder"},
        {"{a}", "1"},
        {"x{a}{b}y{a}", "x1{b}y1"},
        {"missing field `{name}`", "missing field `{x}`"},
        {"{unknown} {a", "{unknown} {a"},
        {"}{a}{", "}1{"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(vorn::fill_template(row.text, {{"a", "1"}, {"name", "{x}"}}), row.expected) << row.text;
    }
}

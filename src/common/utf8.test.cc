#include "common/utf8.h"

#include <string>

#include <gtest/gtest.h>

TEST(Utf8, utf8_check_table) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain ascii", true},
        {std::string("nul\0inside", 10), true},
        {"\xC3\xA9", true},                  // é
        {"\xEF\xBF\xBF", true},              // U+FFFF
        {"\xF4\x8F\xBF\xBF", true},          // U+10FFFF
        {"\xC0\xAF", false},                 // overlong "/"
        {"\xE0\x80\xAF", false},             // overlong, three bytes
        {"\xED\xA0\x80", false},             // surrogate U+D800
        {"\xF4\x90\x80\x80", false},         // above U+10FFFF
        {"\xF5\x80\x80\x80", false},         // invalid lead byte
        {"\x80", false},                     // stray continuation
        {"\xE2\x82", false},                 // truncated at the end
        {"\xE2\x28\xA1", false},             // bad continuation
        {"\xFF", false},
    };
    for (const Case& c : cases) EXPECT_EQ(vorn::is_valid_utf8(c.bytes), c.valid);
}

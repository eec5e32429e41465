// JSON string literals: the text in double quotes with the escapes \" \\ \n
// \r \t \b \f, other control characters as \u00XX (lower-case hex), and
// everything else, "/" and non-ASCII UTF-8 included, as it is.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

void append_json_string(std::string& out, std::string_view text);
std::string json_string_text(std::string_view text);

}  // namespace vorn

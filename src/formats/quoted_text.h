// The quoted form of a text, as reader messages ("invalid type: string
// \"abc\", ...") and reprs show it: double quotes around the text, with
// backslash escapes \" \\ \n \r \t \0 and \u{hex} for the other control
// characters (C0, DEL and C1). Everything else, including the single quote
// and printable non-ASCII text, appears as it is.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

std::string quoted_text(std::string_view text);

}  // namespace vorn

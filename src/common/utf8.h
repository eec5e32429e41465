// The well-formedness check of UTF-8 text, shared by the file reader (whole
// files must be UTF-8) and the JSON reader (every decoded string must be).
#pragma once

#include <string_view>

namespace vorn {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

}  // namespace vorn

// Counting lines and columns (TextPosition, json_error.h) forward through a
// text. Asking for ascending places costs one pass over the text in all,
// which lets a caller place many records of a long document cheaply.
#pragma once

#include <cstddef>
#include <string_view>

#include "formats/json_error.h"

namespace vorn {

class TextPositionCursor {
public:
    explicit TextPositionCursor(std::string_view text) : text_(text) {}

    // The place after the first `end` bytes of the text (the place of the
    // character at `end - 1`). `end` is at most the text's size and not less
    // than in the previous call.
    TextPosition after(std::size_t end);

private:
    std::string_view text_;
    std::size_t offset_ = 0;
    TextPosition position_;
};

}  // namespace vorn

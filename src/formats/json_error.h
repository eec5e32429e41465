// The failure of the JSON reader: a description of the problem and the place
// in the text where the reader stood. what() is the full message,
// "<description> at line <L> column <C>".
#pragma once

#include <cstddef>
#include <string>

#include "common/errors.h"

namespace vorn {

// A place in a text: `line` counts from 1 and is one more than the number of
// newlines before the place; `column` is the number of characters (UTF-8
// code points) between the last of those newlines and the place. The place
// of a character is just after it, so the first character of a line is in
// column 1, a newline ends at column 0 of the next line, and the place before
// any text is line 1 column 0.
struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 0;

    friend bool operator==(const TextPosition&, const TextPosition&) = default;
};

// An operation error (RuntimeError in Python) whose message is the reader's
// full text; the file loader adds its own prefix in front of what().
class JsonError : public OperationError {
public:
    JsonError(std::string description, TextPosition position);

    const std::string& description() const noexcept { return description_; }
    TextPosition position() const noexcept { return position_; }

private:
    std::string description_;
    TextPosition position_;
};

}  // namespace vorn

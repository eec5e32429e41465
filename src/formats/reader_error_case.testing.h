// Test helper for reader error cases. A case is written as the input text
// with the marker "§" placed right after the character at which the reader
// must report (at the very start for "line 1 column 0"); the helper removes
// the marker and builds the full expected message from where it stood.
#pragma once

#include <string>
#include <string_view>

#include "formats/json_error.h"

namespace vorn::test_support {

struct ReaderErrorCase {
    std::string input;
    std::string expected;
};

inline ReaderErrorCase marked_error(std::string_view marked_input, std::string_view description) {
    constexpr std::string_view kMarker = "§";
    const std::size_t at = marked_input.find(kMarker);
    std::string input(marked_input.substr(0, at));
    std::size_t line = 1, column = 0;
    for (const char c : input) {
        if (c == '\n') {
            ++line;
            column = 0;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column;
        }
    }
    if (at != std::string_view::npos) input.append(marked_input.substr(at + kMarker.size()));
    return {input, std::string(description) + " at line " + std::to_string(line) + " column " + std::to_string(column)};
}

// The reader's message for `input`, or "no error".
template <class Parse>
std::string reader_message(Parse parse, const std::string& input) {
    try {
        parse(input);
    } catch (const JsonError& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace vorn::test_support

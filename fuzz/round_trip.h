// The property every reader target checks: an input either fails with a
// JsonError or reads into a value whose written text reads back to an equal
// value and writes the same bytes again. A broken property is a finding: it
// is printed and the process aborts, which libFuzzer reports with the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/json_error.h"

namespace fuzz {

[[noreturn]] inline void finding(const std::string& what) {
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

// `read` maps a text to a value (throwing JsonError), `write` a value to its
// text; `same` compares two values. `kind` names the value in findings.
template <class Read, class Write, class Same>
void check_round_trip(std::string_view text, std::string_view kind, Read read, Write write, Same same) {
    using Value = decltype(read(text));
    Value value;
    try {
        value = read(text);
    } catch (const vorn::JsonError&) {
        return;
    }
    const std::string written = write(value);
    Value again;
    try {
        again = read(written);
    } catch (const vorn::JsonError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        finding("written " + std::string(kind) + " does not read back");
    }
    if (!same(again, value)) finding("written " + std::string(kind) + " reads back different");
    if (write(again) != written) finding("second write differs");
}

}  // namespace fuzz

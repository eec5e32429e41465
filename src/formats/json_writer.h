// Pretty-printed JSON output: every member and element on its own line,
// indented by two spaces per level, ": " between a key and its value, a comma
// after every member or element but the last, the closing bracket on its own
// line at the parent's indentation; "[]" and "{}" when empty. Floats use the
// json form of number_text.h (non-finite as null), strings the escaping of
// json_text.h. No newline follows the last bracket.
//
//   JsonWriter out;
//   out.begin_object();
//   out.key("name");  out.string("x");
//   out.key("items"); out.begin_array(); out.number(1.5); out.end_array();
//   out.end_object();
//   std::string text = out.take();
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/json_value.h"
#include "common/stop_check.h"

namespace vorn {

namespace json {

class JsonWriter {
public:
    // The stop check is polled once per member and element written, so the
    // writing of a huge document can be stopped (Stopped is thrown).
    explicit JsonWriter(const StopCheck& stop = never_stop()) : stop_(&stop) { out_.reserve(128); }

    void begin_object();
    void end_object();
    void begin_array();
    void end_array();
    // Starts a member of the current object; its value follows.
    void key(std::string_view name);

    void string(std::string_view text);
    void number(double value);
    void unsigned_integer(std::uint64_t value);
    void signed_integer(std::int64_t value);
    void boolean(bool value);
    void null();
    // A value tree, objects in their stored member order.
    void value(const JsonValue& value);

    const std::string& text() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    struct Level {
        bool array;
        bool has_items;
    };

    void before_value();
    void begin(char bracket, bool array);
    void end(char bracket);
    void new_line();

    const StopCheck* stop_;
    std::string out_;
    std::vector<Level> levels_;
};

}  // namespace json

// One value tree as a pretty-printed document.
std::string write_json_value_text(const JsonValue& value);

}  // namespace vorn

#include "formats/json_writer.h"

#include <charconv>

#include "formats/json_text.h"
#include "formats/number_text.h"

namespace vorn {

namespace json {

void JsonWriter::new_line() {
    out_.push_back('\n');
    out_.append(levels_.size() * 2, ' ');
}

// Array elements start on a new line; object members did so in key().
void JsonWriter::before_value() {
    stop_->poll();
    if (levels_.empty() || !levels_.back().array) return;
    if (levels_.back().has_items) out_.push_back(',');
    levels_.back().has_items = true;
    new_line();
}

void JsonWriter::begin(char bracket, bool array) {
    before_value();
    out_.push_back(bracket);
    levels_.push_back({array, false});
}

void JsonWriter::end(char bracket) {
    const bool had_items = levels_.back().has_items;
    levels_.pop_back();
    if (had_items) new_line();
    out_.push_back(bracket);
}

void JsonWriter::begin_object() { begin('{', false); }
void JsonWriter::end_object() { end('}'); }
void JsonWriter::begin_array() { begin('[', true); }
void JsonWriter::end_array() { end(']'); }

void JsonWriter::key(std::string_view name) {
    stop_->poll();
    if (levels_.back().has_items) out_.push_back(',');
    levels_.back().has_items = true;
    new_line();
    append_json_string(out_, name);
    out_.append(": ");
}

void JsonWriter::string(std::string_view text) {
    before_value();
    append_json_string(out_, text);
}

void JsonWriter::number(double value) {
    before_value();
    append_json_float(out_, value);
}

void JsonWriter::unsigned_integer(std::uint64_t value) {
    before_value();
    char digits[24];
    out_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void JsonWriter::signed_integer(std::int64_t value) {
    before_value();
    char digits[24];
    out_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void JsonWriter::boolean(bool value) {
    before_value();
    out_.append(value ? "true" : "false");
}

void JsonWriter::null() {
    before_value();
    out_.append("null");
}

void JsonWriter::value(const JsonValue& value) {
    switch (value.kind()) {
        case JsonValue::Kind::Null: null(); return;
        case JsonValue::Kind::Bool: boolean(value.as_bool()); return;
        case JsonValue::Kind::Unsigned: unsigned_integer(value.as_unsigned()); return;
        case JsonValue::Kind::Signed: signed_integer(value.as_signed()); return;
        case JsonValue::Kind::Float: number(value.as_float()); return;
        case JsonValue::Kind::String: string(value.as_string()); return;
        case JsonValue::Kind::Array:
            begin_array();
            for (const JsonValue& item : value.as_array()) this->value(item);
            end_array();
            return;
        case JsonValue::Kind::Object:
            begin_object();
            for (const JsonMember& member : value.as_object()) {
                key(member.key);
                this->value(member.value);
            }
            end_object();
            return;
    }
}

}  // namespace json

std::string write_json_value_text(const JsonValue& value) {
    json::JsonWriter writer;
    writer.value(value);
    return writer.take();
}

}  // namespace vorn

// A cursor over JSON text that reads typed values and reports every problem
// as a JsonError with the description and the place where the reader stood.
// The typed record layer (json_records.h) and the document readers are built
// on it; it can be used directly for documents of other shapes.
//
// Where errors are reported. The reader consumes the text byte by byte and a
// message names the place just after the last character it consumed
// (TextPosition: line from 1, column = characters since the last newline).
// Two kinds of checks exist, and each error below belongs to one of them:
//
//   * Looking at the next character without consuming it (fail_at_next):
//     the message then names that character, as if it had been consumed; at
//     the end of the text it names the last character (line 1 column 0 for
//     an empty text). This covers unexpected characters between values
//     ("expected value", "expected `:`", "expected `,` or `]`", "key must be
//     a string", "trailing comma", "trailing characters"), ends of text
//     between values ("EOF while parsing a value / a list / an object"),
//     "recursion limit exceeded" (the bracket that opens level 129), a second
//     leading zero, and a missing digit after a decimal point.
//   * Problems found in what was just consumed (fail_here): a character that
//     does not belong inside a literal, number or string (named by itself,
//     e.g. the `x` of "trux" or the control character in a string), the end
//     of the text inside a literal, exponent or string, "number out of range"
//     (the last digit, or the exponent digit that overflows), string problems
//     found at the closing quote ("invalid unicode code point" for bytes that
//     are not UTF-8), and all typed problems:
//       - "invalid type" / "invalid value" after the offending value was read
//         whole when it is a literal, number or string (the last digit, the
//         closing quote); for an array or object the value is not read and
//         the place is the character before its opening bracket;
//       - "unknown variant" at the closing quote of the variant string;
//       - record problems ("missing field", "duplicate field", "invalid
//         length") after the reader has tried to close the record: it skips
//         whitespace and consumes the closing bracket when that comes next, so
//         "missing field" names the closing brace, "invalid length" the
//         closing bracket, and "duplicate field" the closing quote of the key
//         (or the whitespace after it).
//
// Nesting: arrays and objects may nest 128 levels deep (the outermost one
// counts); opening level 129 fails, also inside skipped values.
//
// Strings are decoded from the raw bytes; a kept string (read_string, keys,
// string values) must be valid UTF-8, whereas skip_value only checks syntax.
// Numbers: integers that fit 64 bits stay integers (non-negative: unsigned,
// negative: signed; "-0" is the float -0.0), all others are floats rounded
// correctly from the decimal text; a float that overflows fails with "number
// out of range", one that underflows becomes zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/json_error.h"
#include "formats/json_value.h"
#include "common/stop_check.h"

namespace vorn {

// Parses one whole JSON document (a value followed only by whitespace).
JsonValue parse_json_value(std::string_view text, const StopCheck& stop = never_stop());

namespace json {

struct RecordStarts;

class JsonReader {
public:
    static constexpr std::size_t kMaxDepth = 128;

    // The stop check is polled once per element, member and skipped value,
    // so a reader of a huge document can be stopped (Stopped is thrown).
    explicit JsonReader(std::string_view text, const StopCheck& stop = never_stop()) : text_(text), stop_(&stop) {}

    // ---- Typed values. Each skips leading whitespace, fails with "EOF while
    // parsing a value" at the end of the text and with "invalid type: <found>,
    // expected <wanted>" for a value of another JSON type.

    std::string read_string();  // wanted: "a string"
    double read_f64();          // integers accepted; wanted: "f64"
    std::uint32_t read_u32();   // 0..4294967295; wanted: "u32"
    // An enumeration member: the JSON string of one of `names` (or the object
    // {"<name>": null}); returns its index. Another string fails with
    // "unknown variant `x`, expected ..." listing the names; a value that is
    // neither a string nor an object fails with "expected value".
    std::size_t read_variant(std::span<const std::string_view> names);
    JsonValue read_value();  // any value
    // Reads past one value of any type, checking its syntax and nesting.
    void skip_value();
    // True (and the literal consumed) when the next value is null.
    bool take_null();
    // The end of a document: only whitespace may follow ("trailing characters").
    void finish();

    // ---- Containers, for decoding arrays and objects by hand.
    //
    //   reader.open_sequence();               // or open_record(name)
    //   bool first = true;
    //   while (reader.next_element(first)) { ...read one value... }
    //   reader.close_array();
    //
    //   bool first = true; std::string_view key;
    //   while (reader.next_key(first, key)) { reader.read_colon(); ...value... }
    //   reader.close_object();

    // Opens a record given as an object or an array and returns '{' or '['.
    // Anything else fails with "invalid type: ..., expected struct <name>".
    char open_record(std::string_view record_name);
    // Opens an array; anything else fails wanting "a sequence".
    void open_sequence();
    // Moves to the next element: false at the closing bracket (not consumed).
    bool next_element(bool& first);
    // Consumes the closing bracket of an array whose elements were all read.
    void close_array();
    // Reads the next key: false at the closing brace (not consumed). `key`
    // stays valid until the next read.
    bool next_key(bool& first, std::string_view& key);
    void read_colon();
    // Consumes the closing brace of an object whose members were all read.
    void close_object();

    // ---- Where the outermost record's members start (record_starts.h): the
    // record reader notes them in `starts` while reading, when one is given.
    void note_starts(RecordStarts* starts) { starts_ = starts; }
    RecordStarts* starts() const { return starts_; }
    // The arrays and objects open around the cursor.
    std::size_t depth() const { return depth_; }
    // Skips whitespace; the offset of the next character.
    std::size_t next_offset() {
        peek_token();
        return pos_;
    }

    // ---- Cursor and errors.

    // The next byte after whitespace (consumed), or -1 at the end.
    int peek_token();
    void advance() { ++pos_; }
    // The place after the last consumed character.
    TextPosition position() const { return position_of(pos_); }
    [[noreturn]] void fail_here(std::string_view description) const;
    [[noreturn]] void fail_at_next(std::string_view description) const;
    // "invalid type: <found>, expected <wanted>", describing the value at the
    // cursor (literals, numbers and strings are read first).
    [[noreturn]] void fail_invalid_type(std::string_view wanted);
    // A problem of a whole record read as an object or an array (see above).
    [[noreturn]] void fail_in_object(std::string_view description);
    [[noreturn]] void fail_in_array(std::string_view description);

private:
    struct Number {
        enum class Kind : std::uint8_t { Unsigned, Signed, Float } kind = Kind::Unsigned;
        std::uint64_t unsigned_value = 0;
        std::int64_t signed_value = 0;
        double float_value = 0.0;
    };

    int peek() const { return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1; }
    TextPosition position_of(std::size_t end) const;
    // Consume the opening or closing bracket or brace of an array or object;
    // entering fails past the nesting limit.
    void enter_container();
    void leave_container();
    void expect_ident(std::string_view rest);
    Number scan_number();
    double float_from_text(std::size_t start, bool negative);
    void skip_number();
    // Inside a string: moves to the next quote, backslash or control character
    // and returns it (not consumed); the text ending first fails.
    char to_string_stop();
    std::string_view scan_string();
    void skip_string();
    void read_escape(std::string& out);
    void skip_escape();
    void read_unicode_escape(std::string& out);
    std::uint32_t read_hex4();
    std::size_t read_variant_name(std::span<const std::string_view> names);

    std::string_view text_;
    const StopCheck* stop_;
    std::size_t pos_ = 0;
    std::size_t depth_ = 0;
    RecordStarts* starts_ = nullptr;
    std::string scratch_;  // decoded strings that contained escapes
};

}  // namespace json
}  // namespace vorn

#include "formats/json_reader.h"

#include <charconv>
#include <limits>
#include <unordered_map>

#include "formats/number_text.h"
#include "formats/quoted_text.h"
#include "formats/text_position_cursor.h"
#include "common/messages.h"
#include "common/utf8.h"

namespace vorn {

namespace json {

namespace {

bool is_whitespace(int c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void append_utf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Decimal order of magnitude of a number text (the power of ten just above
// its first significant digit). Only its sign matters: it tells an overflow
// (positive) from an underflow when the conversion is out of range.
long long decimal_magnitude(std::string_view number) {
    std::size_t i = 0;
    if (i < number.size() && number[i] == '-') ++i;
    bool significant = false;
    long long integer_digits = 0, leading_fraction_zeros = 0;
    for (; i < number.size() && is_digit(number[i]); ++i) {
        if (significant || number[i] != '0') {
            significant = true;
            ++integer_digits;
        }
    }
    if (i < number.size() && number[i] == '.') {
        for (++i; i < number.size() && is_digit(number[i]); ++i) {
            if (significant) continue;
            if (number[i] == '0') {
                ++leading_fraction_zeros;
            } else {
                significant = true;
            }
        }
    }
    long long exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
        std::from_chars(number.data() + i, number.data() + number.size(), exponent);
        if (negative) exponent = -exponent;
    }
    return (integer_digits > 0 ? integer_digits : -leading_fraction_zeros) + exponent;
}

std::string describe_unknown_variant(std::string_view value, std::span<const std::string_view> names) {
    std::string text(msg::kJsonUnknownVariantPrefix);
    text.append(value);
    text.append(msg::kJsonVariantExpectedInfix);
    if (names.size() > 2) text.append(msg::kJsonOneOf);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += names.size() == 2 ? " or " : ", ";
        text += '`';
        text.append(names[i]);
        text += '`';
    }
    return text;
}

// Objects in a value tree hold each key once: a repeated key keeps the place
// of its first appearance and the value of its last.
void merge_repeated_keys(JsonValue::Object& members) {
    if (members.size() < 2) return;
    constexpr std::size_t kTaken = static_cast<std::size_t>(-1);
    std::unordered_map<std::string_view, std::size_t> last_index;
    last_index.reserve(members.size());
    for (std::size_t i = 0; i < members.size(); ++i) last_index[members[i].key] = i;
    if (last_index.size() == members.size()) return;
    // (key from, value from) for each first appearance, planned before any
    // key moves, since the map views the keys.
    std::vector<std::pair<std::size_t, std::size_t>> plan;
    plan.reserve(last_index.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        std::size_t& last = last_index.find(members[i].key)->second;
        if (last == kTaken) continue;
        plan.emplace_back(i, last);
        last = kTaken;
    }
    last_index.clear();
    JsonValue::Object merged;
    merged.reserve(plan.size());
    for (const auto& [key_from, value_from] : plan) {
        merged.push_back({std::move(members[key_from].key), std::move(members[value_from].value)});
    }
    members = std::move(merged);
}

}  // namespace

TextPosition JsonReader::position_of(std::size_t end) const { return TextPositionCursor(text_).after(end); }

void JsonReader::fail_here(std::string_view description) const {
    throw JsonError(std::string(description), position_of(pos_));
}

void JsonReader::fail_at_next(std::string_view description) const {
    throw JsonError(std::string(description), position_of(std::min(text_.size(), pos_ + 1)));
}

int JsonReader::peek_token() {
    while (pos_ < text_.size() && is_whitespace(text_[pos_])) ++pos_;
    return peek();
}

void JsonReader::enter_container() {
    if (depth_ >= kMaxDepth) fail_at_next(msg::kJsonRecursionLimit);
    ++depth_;
    ++pos_;
}

void JsonReader::leave_container() {
    --depth_;
    ++pos_;
}

void JsonReader::expect_ident(std::string_view rest) {
    for (const char expected : rest) {
        if (pos_ == text_.size()) fail_here(msg::kJsonEofInValue);
        if (text_[pos_++] != expected) fail_here(msg::kJsonExpectedIdent);
    }
}

bool JsonReader::take_null() {
    if (peek_token() != 'n') return false;
    ++pos_;
    expect_ident("ull");
    return true;
}

void JsonReader::finish() {
    if (peek_token() >= 0) fail_at_next(msg::kJsonTrailingCharacters);
}

// ---- numbers ----

JsonReader::Number JsonReader::scan_number() {
    const std::size_t start = pos_;
    const bool negative = peek() == '-';
    if (negative) ++pos_;
    if (pos_ == text_.size()) fail_here(msg::kJsonEofInValue);
    const int first = static_cast<unsigned char>(text_[pos_++]);
    std::uint64_t significand = 0;
    bool fits = true;      // the integer part fits 64 bits
    bool nonzero = false;  // some digit before the exponent is not 0
    if (first == '0') {
        if (is_digit(peek())) fail_at_next(msg::kJsonInvalidNumber);
    } else if (is_digit(first)) {
        significand = static_cast<std::uint64_t>(first - '0');
        nonzero = true;
        while (is_digit(peek())) {
            const auto digit = static_cast<std::uint64_t>(text_[pos_++] - '0');
            if (fits && significand > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) fits = false;
            if (fits) significand = significand * 10 + digit;
        }
    } else {
        fail_here(msg::kJsonInvalidNumber);
    }
    bool integral = true;
    if (peek() == '.') {
        ++pos_;
        if (!is_digit(peek())) fail_at_next(pos_ == text_.size() ? msg::kJsonEofInValue : msg::kJsonInvalidNumber);
        while (is_digit(peek())) {
            if (text_[pos_++] != '0') nonzero = true;
        }
        integral = false;
    }
    if (peek() == 'e' || peek() == 'E') {
        ++pos_;
        const bool negative_exponent = peek() == '-';
        if (peek() == '-' || peek() == '+') ++pos_;
        if (pos_ == text_.size()) fail_here(msg::kJsonEofInValue);
        const int lead = static_cast<unsigned char>(text_[pos_++]);
        if (!is_digit(lead)) fail_here(msg::kJsonInvalidNumber);
        std::int32_t exponent = lead - '0';
        while (is_digit(peek())) {
            const int digit = text_[pos_++] - '0';
            if (exponent > (std::numeric_limits<std::int32_t>::max() - digit) / 10) {
                // An exponent beyond 32 bits: infinite unless the value is zero
                // or the exponent negative, in which case it is zero.
                if (nonzero && !negative_exponent) fail_here(msg::kJsonNumberOutOfRange);
                while (is_digit(peek())) ++pos_;
                Number zero;
                zero.kind = Number::Kind::Float;
                zero.float_value = negative ? -0.0 : 0.0;
                return zero;
            }
            exponent = exponent * 10 + digit;
        }
        integral = false;
    }
    Number number;
    if (integral && fits) {
        if (!negative) {
            number.unsigned_value = significand;
            return number;
        }
        constexpr std::uint64_t kMinMagnitude = std::uint64_t{1} << 63;  // of INT64_MIN
        if (significand != 0 && significand <= kMinMagnitude) {
            number.kind = Number::Kind::Signed;
            number.signed_value = significand == kMinMagnitude ? std::numeric_limits<std::int64_t>::min()
                                                               : -static_cast<std::int64_t>(significand);
            return number;
        }
    }
    number.kind = Number::Kind::Float;
    number.float_value = float_from_text(start, negative);
    return number;
}

double JsonReader::float_from_text(std::size_t start, bool negative) {
    const std::string_view number = text_.substr(start, pos_ - start);
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        if (decimal_magnitude(number) > 0) fail_here(msg::kJsonNumberOutOfRange);
        value = negative ? -0.0 : 0.0;
    }
    return value;
}

double JsonReader::read_f64() {
    const int c = peek_token();
    if (c < 0) fail_at_next(msg::kJsonEofInValue);
    if (c != '-' && !is_digit(c)) fail_invalid_type(msg::kJsonWantedF64);
    const Number number = scan_number();
    switch (number.kind) {
        case Number::Kind::Unsigned: return static_cast<double>(number.unsigned_value);
        case Number::Kind::Signed: return static_cast<double>(number.signed_value);
        case Number::Kind::Float: break;
    }
    return number.float_value;
}

std::uint32_t JsonReader::read_u32() {
    const int c = peek_token();
    if (c < 0) fail_at_next(msg::kJsonEofInValue);
    if (c != '-' && !is_digit(c)) fail_invalid_type(msg::kJsonWantedU32);
    const Number number = scan_number();
    std::string found;
    switch (number.kind) {
        case Number::Kind::Unsigned:
            if (number.unsigned_value <= std::numeric_limits<std::uint32_t>::max()) {
                return static_cast<std::uint32_t>(number.unsigned_value);
            }
            found = std::to_string(number.unsigned_value);
            break;
        case Number::Kind::Signed: found = std::to_string(number.signed_value); break;
        case Number::Kind::Float:
            found.append(msg::kJsonFoundFloatPrefix);
            found += json_float_text(number.float_value);
            found += '`';
            fail_here(msg::json_invalid_type(found, msg::kJsonWantedU32));
    }
    fail_here(msg::json_invalid_value(std::string(msg::kJsonFoundIntegerPrefix) + found + '`', msg::kJsonWantedU32));
}

// The lenient scan of a number inside a skipped value: its syntax is checked,
// its value is not computed, so no range applies.
void JsonReader::skip_number() {
    if (peek() == '-') ++pos_;
    if (pos_ == text_.size()) fail_here(msg::kJsonInvalidNumber);
    const int first = static_cast<unsigned char>(text_[pos_++]);
    if (first == '0') {
        if (is_digit(peek())) fail_at_next(msg::kJsonInvalidNumber);
    } else if (is_digit(first)) {
        while (is_digit(peek())) ++pos_;
    } else {
        fail_here(msg::kJsonInvalidNumber);
    }
    if (peek() == '.') {
        ++pos_;
        if (!is_digit(peek())) fail_at_next(msg::kJsonInvalidNumber);
        while (is_digit(peek())) ++pos_;
    }
    if (peek() == 'e' || peek() == 'E') {
        ++pos_;
        if (peek() == '-' || peek() == '+') ++pos_;
        if (pos_ == text_.size() || !is_digit(static_cast<unsigned char>(text_[pos_++]))) {
            fail_here(msg::kJsonInvalidNumber);
        }
        while (is_digit(peek())) ++pos_;
    }
}

// ---- strings ----

std::uint32_t JsonReader::read_hex4() {
    if (text_.size() - pos_ < 4) {
        pos_ = text_.size();
        fail_here(msg::kJsonEofInString);
    }
    std::uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hex_value(static_cast<unsigned char>(text_[pos_++]));
        if (digit < 0) fail_here(msg::kJsonInvalidEscape);
        code = code * 16 + static_cast<std::uint32_t>(digit);
    }
    return code;
}

void JsonReader::read_unicode_escape(std::string& out) {
    const std::uint32_t code = read_hex4();
    if (code >= 0xDC00 && code <= 0xDFFF) fail_here(msg::kJsonLoneLeadingSurrogate);
    if (code < 0xD800 || code > 0xDBFF) {
        append_utf8(out, code);
        return;
    }
    // A leading surrogate must be followed by the escape of a trailing one.
    for (const char expected : {'\\', 'u'}) {
        if (pos_ == text_.size()) fail_here(msg::kJsonEofInString);
        if (text_[pos_++] != expected) fail_here(msg::kJsonUnexpectedEndOfHexEscape);
    }
    const std::uint32_t trailing = read_hex4();
    if (trailing < 0xDC00 || trailing > 0xDFFF) fail_here(msg::kJsonLoneLeadingSurrogate);
    append_utf8(out, 0x10000 + ((code - 0xD800) << 10) + (trailing - 0xDC00));
}

void JsonReader::read_escape(std::string& out) {
    if (pos_ == text_.size()) fail_here(msg::kJsonEofInString);
    switch (text_[pos_++]) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': read_unicode_escape(out); break;
        default: fail_here(msg::kJsonInvalidEscape);
    }
}

// Escapes inside skipped strings are checked for form only; surrogates are
// not paired.
void JsonReader::skip_escape() {
    if (pos_ == text_.size()) fail_here(msg::kJsonEofInString);
    switch (text_[pos_++]) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't': return;
        case 'u': read_hex4(); return;
        default: fail_here(msg::kJsonInvalidEscape);
    }
}

char JsonReader::to_string_stop() {
    while (pos_ < text_.size()) {
        const auto c = static_cast<unsigned char>(text_[pos_]);
        if (c == '"' || c == '\\' || c < 0x20) return static_cast<char>(c);
        ++pos_;
    }
    fail_here(msg::kJsonEofInString);
}

// After the opening quote. The result views the text itself when the string
// has no escapes, else the scratch buffer.
std::string_view JsonReader::scan_string() {
    std::size_t run = pos_;
    bool copied = false;
    scratch_.clear();
    for (;;) {
        const char c = to_string_stop();
        if (c == '"') {
            std::string_view result = text_.substr(run, pos_ - run);
            if (copied) {
                scratch_.append(result);
                result = scratch_;
            }
            ++pos_;
            if (!is_valid_utf8(result)) fail_here(msg::kJsonInvalidCodePoint);
            return result;
        }
        ++pos_;
        if (c != '\\') fail_here(msg::kJsonControlCharacter);
        scratch_.append(text_.substr(run, pos_ - 1 - run));
        copied = true;
        read_escape(scratch_);
        run = pos_;
    }
}

void JsonReader::skip_string() {
    for (;;) {
        const char c = to_string_stop();
        ++pos_;
        if (c == '"') return;
        if (c != '\\') fail_here(msg::kJsonControlCharacter);
        skip_escape();
    }
}

std::string JsonReader::read_string() {
    const int c = peek_token();
    if (c < 0) fail_at_next(msg::kJsonEofInValue);
    if (c != '"') fail_invalid_type(msg::kJsonWantedString);
    ++pos_;
    return std::string(scan_string());
}

// ---- typed problems ----

void JsonReader::fail_invalid_type(std::string_view wanted) {
    std::string found;
    switch (peek()) {
        case 'n':
            ++pos_;
            expect_ident("ull");
            found = msg::kJsonFoundNull;
            break;
        case 't':
            ++pos_;
            expect_ident("rue");
            found = msg::kJsonFoundTrue;
            break;
        case 'f':
            ++pos_;
            expect_ident("alse");
            found = msg::kJsonFoundFalse;
            break;
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9': {
            const Number number = scan_number();
            if (number.kind == Number::Kind::Float) {
                found = std::string(msg::kJsonFoundFloatPrefix) + json_float_text(number.float_value) + '`';
            } else {
                found = std::string(msg::kJsonFoundIntegerPrefix) +
                        (number.kind == Number::Kind::Unsigned ? std::to_string(number.unsigned_value)
                                                               : std::to_string(number.signed_value)) +
                        '`';
            }
            break;
        }
        case '"':
            ++pos_;
            found = std::string(msg::kJsonFoundStringPrefix) + quoted_text(scan_string());
            break;
        case '[': found = msg::kJsonFoundSequence; break;
        case '{': found = msg::kJsonFoundMap; break;
        default: fail_at_next(msg::kJsonExpectedValue);
    }
    fail_here(msg::json_invalid_type(found, wanted));
}

void JsonReader::fail_in_object(std::string_view description) {
    if (peek_token() == '}') ++pos_;
    fail_here(description);
}

void JsonReader::fail_in_array(std::string_view description) {
    const int c = peek_token();
    if (c == ']') {
        ++pos_;
    } else if (c == ',') {
        ++pos_;
        peek_token();
    }
    fail_here(description);
}

// ---- enumerations ----

std::size_t JsonReader::read_variant_name(std::span<const std::string_view> names) {
    const std::string_view value = scan_string();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == value) return i;
    }
    fail_here(describe_unknown_variant(value, names));
}

std::size_t JsonReader::read_variant(std::span<const std::string_view> names) {
    const int c = peek_token();
    if (c == '"') {
        ++pos_;
        return read_variant_name(names);
    }
    if (c != '{') fail_at_next(c < 0 ? msg::kJsonEofInValue : msg::kJsonExpectedValue);
    // The object form: {"<name>": null}.
    enter_container();
    const int key = peek_token();
    if (key < 0) fail_at_next(msg::kJsonEofInValue);
    if (key != '"') fail_invalid_type(msg::kJsonWantedVariant);
    ++pos_;
    const std::size_t index = read_variant_name(names);
    read_colon();
    const int unit = peek_token();
    if (unit < 0) fail_at_next(msg::kJsonEofInValue);
    if (unit != 'n') fail_invalid_type(msg::kJsonWantedUnit);
    ++pos_;
    expect_ident("ull");
    const int end = peek_token();
    if (end != '}') fail_here(end < 0 ? msg::kJsonEofInObject : msg::kJsonExpectedValue);
    leave_container();
    return index;
}

// ---- containers ----

char JsonReader::open_record(std::string_view record_name) {
    const int c = peek_token();
    if (c < 0) fail_at_next(msg::kJsonEofInValue);
    if (c != '[' && c != '{') fail_invalid_type(std::string(msg::kJsonWantedStructPrefix) + std::string(record_name));
    enter_container();
    return static_cast<char>(c);
}

void JsonReader::open_sequence() {
    const int c = peek_token();
    if (c < 0) fail_at_next(msg::kJsonEofInValue);
    if (c != '[') fail_invalid_type(msg::kJsonWantedSequence);
    enter_container();
}

bool JsonReader::next_element(bool& first) {
    stop_->poll();
    const int c = peek_token();
    if (c < 0) fail_at_next(msg::kJsonEofInList);
    if (c == ']') return false;
    if (first) {
        first = false;
        return true;
    }
    if (c != ',') fail_at_next(msg::kJsonExpectedListCommaOrEnd);
    ++pos_;
    const int next = peek_token();
    if (next == ']') fail_at_next(msg::kJsonTrailingComma);
    if (next < 0) fail_at_next(msg::kJsonEofInValue);
    return true;
}

void JsonReader::close_array() {
    const int c = peek_token();
    if (c < 0) fail_at_next(msg::kJsonEofInList);
    if (c == ',') {
        ++pos_;
        fail_at_next(peek_token() == ']' ? msg::kJsonTrailingComma : msg::kJsonTrailingCharacters);
    }
    if (c != ']') fail_at_next(msg::kJsonTrailingCharacters);
    leave_container();
}

bool JsonReader::next_key(bool& first, std::string_view& key) {
    stop_->poll();
    int c = peek_token();
    if (c < 0) fail_at_next(msg::kJsonEofInObject);
    if (c == '}') return false;
    if (c == ',' && !first) {
        ++pos_;
        c = peek_token();
    } else if (first) {
        first = false;
    } else {
        fail_at_next(msg::kJsonExpectedObjectCommaOrEnd);
    }
    if (c == '"') {
        ++pos_;
        key = scan_string();
        return true;
    }
    if (c == '}') fail_at_next(msg::kJsonTrailingComma);
    fail_at_next(c < 0 ? msg::kJsonEofInValue : msg::kJsonKeyMustBeString);
}

void JsonReader::read_colon() {
    const int c = peek_token();
    if (c == ':') {
        ++pos_;
        return;
    }
    fail_at_next(c < 0 ? msg::kJsonEofInObject : msg::kJsonExpectedColon);
}

void JsonReader::close_object() {
    const int c = peek_token();
    if (c < 0) fail_at_next(msg::kJsonEofInObject);
    if (c != '}') fail_at_next(c == ',' ? msg::kJsonTrailingComma : msg::kJsonTrailingCharacters);
    leave_container();
}

// ---- whole values ----

JsonValue JsonReader::read_value() {
    const int c = peek_token();
    switch (c) {
        case -1: fail_at_next(msg::kJsonEofInValue);
        case 'n':
            ++pos_;
            expect_ident("ull");
            return JsonValue();
        case 't':
            ++pos_;
            expect_ident("rue");
            return JsonValue(true);
        case 'f':
            ++pos_;
            expect_ident("alse");
            return JsonValue(false);
        case '"': ++pos_; return JsonValue(std::string(scan_string()));
        case '[': {
            enter_container();
            JsonValue::Array items;
            bool first = true;
            while (next_element(first)) items.push_back(read_value());
            close_array();
            return JsonValue(std::move(items));
        }
        case '{': {
            enter_container();
            JsonValue::Object members;
            bool first = true;
            std::string_view key;
            while (next_key(first, key)) {
                std::string name(key);
                read_colon();
                members.push_back({std::move(name), read_value()});
            }
            close_object();
            merge_repeated_keys(members);
            return JsonValue(std::move(members));
        }
        default: break;
    }
    if (c != '-' && !is_digit(c)) fail_at_next(msg::kJsonExpectedValue);
    const Number number = scan_number();
    switch (number.kind) {
        case Number::Kind::Unsigned: return JsonValue(number.unsigned_value);
        case Number::Kind::Signed: return JsonValue(number.signed_value);
        case Number::Kind::Float: break;
    }
    return JsonValue(number.float_value);
}

// Walks one value without building it, keeping the open brackets on a small
// stack instead of recursing.
void JsonReader::skip_value() {
    std::string open;  // '[' or '{' per level, innermost last
    for (;;) {
        stop_->poll();
        // One value, or the opening of a container.
        const int c = peek_token();
        bool opened = false;
        switch (c) {
            case -1: fail_at_next(msg::kJsonEofInValue);
            case 'n':
                ++pos_;
                expect_ident("ull");
                break;
            case 't':
                ++pos_;
                expect_ident("rue");
                break;
            case 'f':
                ++pos_;
                expect_ident("alse");
                break;
            case '"':
                ++pos_;
                skip_string();
                break;
            case '[':
            case '{':
                enter_container();
                open.push_back(static_cast<char>(c));
                opened = true;
                break;
            default:
                if (c != '-' && !is_digit(c)) fail_at_next(msg::kJsonExpectedValue);
                skip_number();
        }
        if (open.empty()) return;
        // What follows: a comma, closing brackets, or (right after an opening
        // bracket) the first element or key.
        bool after_value = !opened;
        for (;;) {
            const char frame = open.back();
            const int next = peek_token();
            if (next == ',' && after_value) {
                ++pos_;
                break;
            }
            if (next == (frame == '[' ? ']' : '}')) {
                leave_container();
                open.pop_back();
                if (open.empty()) return;
                after_value = true;
                continue;
            }
            if (next < 0) fail_at_next(frame == '[' ? msg::kJsonEofInList : msg::kJsonEofInObject);
            if (after_value) {
                fail_at_next(frame == '[' ? msg::kJsonExpectedListCommaOrEnd : msg::kJsonExpectedObjectCommaOrEnd);
            }
            break;
        }
        if (open.back() == '{') {
            const int quote = peek_token();
            if (quote < 0) fail_at_next(msg::kJsonEofInObject);
            if (quote != '"') fail_at_next(msg::kJsonKeyMustBeString);
            ++pos_;
            skip_string();
            read_colon();
        }
    }
}

}  // namespace json

JsonValue parse_json_value(std::string_view text, const StopCheck& stop) {
    json::JsonReader reader(text, stop);
    JsonValue value = reader.read_value();
    reader.finish();
    return value;
}

}  // namespace vorn

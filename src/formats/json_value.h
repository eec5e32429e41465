// A JSON value tree: null, boolean, integer, float, string, array or object.
// Integers stay integers: a non-negative one is held as an unsigned 64-bit
// number (kind Unsigned), a negative one as a signed 64-bit number (kind
// Signed), so every integer has exactly one representation. Objects keep
// their members in the order given.
//
// Equality: same kind and equal content. An integer never equals a float
// (1 != 1.0), floats compare as doubles (0.0 == -0.0), arrays element by
// element, objects as sets of members regardless of member order.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vorn {

struct JsonMember;

class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    using Object = std::vector<JsonMember>;
    enum class Kind : std::uint8_t { Null, Bool, Unsigned, Signed, Float, String, Array, Object };

    // Constructors and accessors are defined below, once JsonMember is
    // complete.
    JsonValue() = default;  // null
    JsonValue(std::nullptr_t);
    JsonValue(bool value);
    template <std::integral T>
        requires(!std::same_as<T, bool>)
    JsonValue(T value);
    JsonValue(double value);
    JsonValue(std::string value);
    JsonValue(std::string_view value);
    JsonValue(const char* value);
    JsonValue(Array value);
    JsonValue(Object value);

    Kind kind() const noexcept { return static_cast<Kind>(data_.index()); }
    bool is_null() const noexcept { return kind() == Kind::Null; }

    // Typed access; each requires the matching kind (std::bad_variant_access
    // otherwise).
    bool as_bool() const;
    std::uint64_t as_unsigned() const;
    std::int64_t as_signed() const;
    double as_float() const;
    const std::string& as_string() const;
    const Array& as_array() const;
    Array& as_array();
    const Object& as_object() const;
    Object& as_object();

    // The member named `key` of an object, or null when there is none or
    // this is not an object.
    const JsonValue* find(std::string_view key) const;

    friend bool operator==(const JsonValue& a, const JsonValue& b);

private:
    // The alternatives are in the order of Kind.
    std::variant<std::monostate, bool, std::uint64_t, std::int64_t, double, std::string, Array, Object> data_;
};

struct JsonMember {
    std::string key;
    JsonValue value;

    friend bool operator==(const JsonMember&, const JsonMember&) = default;
};

inline JsonValue::JsonValue(std::nullptr_t) {}
inline JsonValue::JsonValue(bool value) : data_(value) {}
template <std::integral T>
    requires(!std::same_as<T, bool>)
JsonValue::JsonValue(T value) {
    if constexpr (std::is_signed_v<T>) {
        if (value < 0) {
            data_ = static_cast<std::int64_t>(value);
            return;
        }
    }
    data_ = static_cast<std::uint64_t>(value);
}
inline JsonValue::JsonValue(double value) : data_(value) {}
inline JsonValue::JsonValue(std::string value) : data_(std::move(value)) {}
inline JsonValue::JsonValue(std::string_view value) : data_(std::string(value)) {}
inline JsonValue::JsonValue(const char* value) : data_(std::string(value)) {}
inline JsonValue::JsonValue(Array value) : data_(std::move(value)) {}
inline JsonValue::JsonValue(Object value) : data_(std::move(value)) {}

inline bool JsonValue::as_bool() const { return std::get<bool>(data_); }
inline std::uint64_t JsonValue::as_unsigned() const { return std::get<std::uint64_t>(data_); }
inline std::int64_t JsonValue::as_signed() const { return std::get<std::int64_t>(data_); }
inline double JsonValue::as_float() const { return std::get<double>(data_); }
inline const std::string& JsonValue::as_string() const { return std::get<std::string>(data_); }
inline const JsonValue::Array& JsonValue::as_array() const { return std::get<Array>(data_); }
inline JsonValue::Array& JsonValue::as_array() { return std::get<Array>(data_); }
inline const JsonValue::Object& JsonValue::as_object() const { return std::get<Object>(data_); }
inline JsonValue::Object& JsonValue::as_object() { return std::get<Object>(data_); }

}  // namespace vorn

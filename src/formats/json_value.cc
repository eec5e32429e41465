#include "formats/json_value.h"

namespace vorn {

const JsonValue* JsonValue::find(std::string_view key) const {
    const auto* members = std::get_if<Object>(&data_);
    if (members == nullptr) return nullptr;
    for (const JsonMember& member : *members) {
        if (member.key == key) return &member.value;
    }
    return nullptr;
}

bool operator==(const JsonValue& a, const JsonValue& b) {
    if (a.kind() != b.kind()) return false;
    if (a.kind() != JsonValue::Kind::Object) return a.data_ == b.data_;
    const JsonValue::Object& left = a.as_object();
    const JsonValue::Object& right = b.as_object();
    if (left.size() != right.size()) return false;
    // Both directions, so that repeated keys cannot make unequal objects
    // compare equal.
    for (const JsonMember& member : left) {
        const JsonValue* other = b.find(member.key);
        if (other == nullptr || !(*other == member.value)) return false;
    }
    for (const JsonMember& member : right) {
        if (a.find(member.key) == nullptr) return false;
    }
    return true;
}

}  // namespace vorn

#include "protocols/repr_fields.h"

#include <utility>

#include "common/repr_text.h"

namespace vorn {

ReprFields::ReprFields(std::string_view type_name) : text_(type_name) { text_ += '('; }

void ReprFields::start(std::string_view name) {
    if (!first_) text_ += ", ";
    first_ = false;
    text_ += name;
    if (!name.empty()) text_ += '=';
}

ReprFields& ReprFields::text(std::string_view value) {
    start({});
    text_ += value;
    return *this;
}

ReprFields& ReprFields::flag(std::string_view name, bool value) {
    start(name);
    text_ += bool_text(value);
    return *this;
}

ReprFields& ReprFields::count(std::string_view name, std::uint64_t value) {
    start(name);
    append_decimal(text_, value);
    return *this;
}

ReprFields& ReprFields::percent(std::string_view name, double fraction) {
    start(name);
    append_whole_percent(text_, fraction);
    return *this;
}

ReprFields& ReprFields::fixed(std::string_view name, double value, int decimals) {
    start(name);
    append_fixed(text_, value, decimals);
    return *this;
}

ReprFields& ReprFields::unit(std::string_view unit) {
    text_ += unit;
    return *this;
}

ReprFields& ReprFields::plus_minus(double spread, int decimals) {
    text_ += "\xC2\xB1";  // U+00B1 PLUS-MINUS SIGN in UTF-8
    append_fixed(text_, spread, decimals);
    return *this;
}

std::string ReprFields::close() {
    text_ += ')';
    return std::move(text_);
}

}  // namespace vorn

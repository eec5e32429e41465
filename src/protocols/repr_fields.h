// Builds the one-line representations of the protocol results and their
// aggregates: "Name(field=value, field=value)", each value written with the
// number and flag texts of common/repr_text.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn {

class ReprFields {
public:
    explicit ReprFields(std::string_view type_name);

    // A value without a name, written as is.
    ReprFields& text(std::string_view value);
    ReprFields& flag(std::string_view name, bool value);
    ReprFields& count(std::string_view name, std::uint64_t value);
    // The fraction as a whole percentage without the sign: 0.8 -> "80".
    ReprFields& percent(std::string_view name, double fraction);
    ReprFields& fixed(std::string_view name, double value, int decimals);

    // Added to the last value: a unit ("ms"), or "±" and a spread.
    ReprFields& unit(std::string_view unit);
    ReprFields& plus_minus(double spread, int decimals);

    // The text with its closing parenthesis; the last call on the builder.
    std::string close();

private:
    // Opens the next value: the separator, then `name=` unless the name is empty.
    void start(std::string_view name);

    std::string text_;
    bool first_ = true;
};

}  // namespace vorn

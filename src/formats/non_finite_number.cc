#include "formats/non_finite_number.h"

#include <cmath>

#include "common/messages.h"

namespace vorn {

namespace {

std::string_view non_finite_text(double value) {
    if (std::isnan(value)) return "NaN";
    return value > 0 ? "inf" : "-inf";
}

}  // namespace

NonFiniteMemberError::NonFiniteMemberError(std::string_view record, std::string_view member, double value)
    : OperationError(msg::non_finite_member(record, member, non_finite_text(value))) {}

}  // namespace vorn

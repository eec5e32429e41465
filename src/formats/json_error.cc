#include "formats/json_error.h"

#include "common/messages.h"

namespace vorn {

namespace {

std::string full_message(const std::string& description, TextPosition position) {
    std::string text = description;
    text.append(msg::kJsonAtLine);
    text += std::to_string(position.line);
    text.append(msg::kJsonColumn);
    text += std::to_string(position.column);
    return text;
}

}  // namespace

JsonError::JsonError(std::string description, TextPosition position)
    : OperationError(full_message(description, position)), description_(std::move(description)), position_(position) {}

}  // namespace vorn

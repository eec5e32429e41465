#include "files/load_error.h"

#include "common/messages.h"

namespace vorn {

namespace {
std::string joined(std::string_view prefix, std::string_view rest) {
    std::string text;
    text.reserve(prefix.size() + rest.size());
    text.append(prefix).append(rest);
    return text;
}
}  // namespace

LoadError LoadError::io(std::string_view system_text) {
    return LoadError(LoadErrorKind::Io, std::string(system_text), std::nullopt,
                     joined(msg::kIoErrorPrefix, system_text));
}

LoadError LoadError::json(std::string_view reader_message, std::optional<TextPosition> position) {
    return LoadError(LoadErrorKind::Json, std::string(reader_message), std::nullopt,
                     joined(msg::kJsonErrorPrefix, reader_message), position);
}

LoadError LoadError::validation(ValidationReport report) {
    std::string text = joined(msg::kValidationFailedPrefix, report_text(report));
    return LoadError(LoadErrorKind::Validation, std::string(), std::move(report), text);
}

LoadError LoadError::unsupported_version(std::string_view version, std::optional<TextPosition> position) {
    return LoadError(LoadErrorKind::UnsupportedVersion, std::string(version), std::nullopt,
                     joined(msg::kUnsupportedVersionPrefix, version), position);
}

std::string failed_to_load_message(std::string_view path, const LoadError& error) {
    std::string text(msg::kFailedToLoadPrefix);
    text.append(path).append(": ").append(error.what());
    return text;
}

}  // namespace vorn

// The failure of loading (or saving) a network file. Four kinds, each with a
// fixed text form; a validation failure carries the whole report.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/errors.h"
#include "formats/json_error.h"
#include "files/validation_report.h"

namespace vorn {

enum class LoadErrorKind { Io, Json, Validation, UnsupportedVersion };

// Derives from OperationError so that a save failure, whose message is the
// text form alone, reaches Python as RuntimeError unchanged. Load failures are
// caught by type and get the "Failed to load <path>: " prefix in front.
class LoadError : public OperationError {
public:
    static LoadError io(std::string_view system_text);
    static LoadError json(std::string_view reader_message, std::optional<TextPosition> position = std::nullopt);
    static LoadError validation(ValidationReport report);
    static LoadError unsupported_version(std::string_view version, std::optional<TextPosition> position = std::nullopt);

    LoadErrorKind kind() const { return kind_; }
    // The system text, the reader message or the version found (empty for Validation).
    const std::string& detail() const { return detail_; }
    // The report, for the Validation kind only.
    const ValidationReport* report() const { return report_ ? &*report_ : nullptr; }
    // The text form ("IO error: ...", ...); the same as what().
    std::string text() const { return what(); }
    // Where in the file the problem is, when the thrower knew it: the
    // reader's place for Json, the version's value for UnsupportedVersion.
    std::optional<TextPosition> position() const { return position_; }

private:
    LoadError(LoadErrorKind kind, std::string detail, std::optional<ValidationReport> report, const std::string& text,
              std::optional<TextPosition> position = std::nullopt)
        : OperationError(text),
          kind_(kind),
          detail_(std::move(detail)),
          report_(std::move(report)),
          position_(position) {}

    LoadErrorKind kind_;
    std::string detail_;
    std::optional<ValidationReport> report_;
    std::optional<TextPosition> position_;
};

// "Failed to load " path ": " and the error's text form: the message every
// load operation (load_vorn_file, validate, diff, from_vorn_file) reports.
std::string failed_to_load_message(std::string_view path, const LoadError& error);

}  // namespace vorn

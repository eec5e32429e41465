#include "files/load_file.h"

#include "formats/json_error.h"
#include "common/messages.h"
#include "files/file_io.h"
#include "files/validation.h"

namespace vorn {

namespace {

// Reads, parses (into `places` when given) and checks the version.
VornFile read_checked(std::string_view path, const StopCheck& stop, VornFilePlaces* places) {
    std::string text;
    try {
        text = read_text_file(path, stop);
    } catch (const FileAccessError& error) {
        throw LoadError::io(error.what());
    }
    VornFile file;
    try {
        file = places ? parse_file_text(text, *places, stop) : parse_file_text(text, stop);
    } catch (const JsonError& error) {
        throw LoadError::json(error.what(), error.position());
    }
    if (file.version != msg::kSupportedVornVersion) {
        throw LoadError::unsupported_version(file.version, places ? std::optional(places->version) : std::nullopt);
    }
    return file;
}

}  // namespace

VornFile read_vorn_file(std::string_view path, const StopCheck& stop) { return read_checked(path, stop, nullptr); }

VornFile read_vorn_file(std::string_view path, VornFilePlaces& places, const StopCheck& stop) {
    return read_checked(path, stop, &places);
}

VornFile load_file(std::string_view path, const StopCheck& stop) {
    VornFile file = read_vorn_file(path, stop);
    ValidationReport report = validate_file(file, stop);
    if (!report.valid) throw LoadError::validation(std::move(report));
    return file;
}

}  // namespace vorn

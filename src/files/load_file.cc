#include "files/load_file.h"

#include "formats/json_error.h"
#include "formats/vorn_reader.h"
#include "common/messages.h"
#include "files/file_io.h"
#include "files/validation.h"

namespace vorn {

VornFile read_vorn_file(std::string_view path, const StopCheck& stop) {
    std::string text;
    try {
        text = read_text_file(path, stop);
    } catch (const FileAccessError& error) {
        throw LoadError::io(error.what());
    }
    VornFile file;
    try {
        file = parse_file_text(text, stop);
    } catch (const JsonError& error) {
        throw LoadError::json(error.what());
    }
    if (file.version != msg::kSupportedVornVersion) throw LoadError::unsupported_version(file.version);
    return file;
}

VornFile load_file(std::string_view path, const StopCheck& stop) {
    VornFile file = read_vorn_file(path, stop);
    ValidationReport report = validate_file(file, stop);
    if (!report.valid) throw LoadError::validation(std::move(report));
    return file;
}

}  // namespace vorn

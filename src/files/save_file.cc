#include "files/save_file.h"

#include "api/json_error.h"
#include "api/non_finite_number.h"
#include "api/vorn_writer.h"
#include "files/file_io.h"

namespace vorn {

void save_file(const VornFile& file, std::string_view path, const StopCheck& stop) {
    std::string text;
    try {
        text = write_file_text(file, stop);
    } catch (const JsonError& error) {
        throw LoadError::json(error.what());
    } catch (const NonFiniteMemberError& error) {
        throw LoadError::json(error.what());
    }
    try {
        write_bytes_file(path, text, stop);
    } catch (const FileAccessError& error) {
        throw LoadError::io(error.what());
    }
}

}  // namespace vorn

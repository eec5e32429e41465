#include "files/save_file.h"

#include "formats/json_error.h"
#include "formats/non_finite_number.h"
#include "formats/vorn_writer.h"
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

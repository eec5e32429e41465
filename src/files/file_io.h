// Whole-file access by path: read a file as UTF-8 text, write bytes by
// replacing the file whole (replace_file.h). Failures carry the operating system's text in the form
// "<description> (os error <code>)", or a fixed text for the two failures the
// system does not report itself (a NUL inside the path, text that is not UTF-8).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace vorn {

struct FileAccessError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The whole file as text. Throws FileAccessError when the path holds a NUL,
// the file cannot be opened or read (missing, no permission, a directory), or
// its bytes are not valid UTF-8.
std::string read_text_file(std::string_view path);

// Makes the bytes the file's contents, all at once: the previous contents
// stay intact until the new ones are on disk. Throws FileAccessError.
void write_bytes_file(std::string_view path, std::string_view bytes);

// strerror(code) followed by " (os error <code>)".
std::string system_error_text(int code);

}  // namespace vorn

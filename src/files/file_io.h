// Whole-file access by path: read a file as UTF-8 text, write bytes by
// replacing the file whole (replace_file.h). Failures carry the operating system's text in the form
// "<description> (os error <code>)", or a fixed text for the two failures the
// system does not report itself (a NUL inside the path, text that is not UTF-8).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/stop_check.h"

namespace vorn {

struct FileAccessError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The most bytes read from a source that is not a regular file (a device, a
// pipe): /dev/zero would otherwise fill the memory.
inline constexpr std::size_t kMaxStreamBytes = std::size_t{1} << 30;

// The whole file as text. Throws FileAccessError when the path holds a NUL,
// the file cannot be opened or read (missing, no permission, a directory),
// a source that is not a regular file gives more than kMaxStreamBytes, or
// the bytes are not valid UTF-8. The stop check is consulted between chunks
// and when a signal interrupts a blocking open or read (which is then made
// again); a stop throws Stopped.
std::string read_text_file(std::string_view path, const StopCheck& stop = never_stop());

// Makes the bytes the file's contents, all at once: the previous contents
// stay intact until the new ones are on disk (replace_file.h). Throws
// FileAccessError, or Stopped, which also leaves the previous contents.
void write_bytes_file(std::string_view path, std::string_view bytes, const StopCheck& stop = never_stop());

// strerror(code) followed by " (os error <code>)".
std::string system_error_text(int code);

}  // namespace vorn

#include "files/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/messages.h"
#include "common/utf8.h"
#include "files/replace_file.h"

namespace vorn {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// A path with a NUL inside would silently name a shorter path at the C level.
std::string checked_path(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) throw FileAccessError(std::string(msg::kNulInPath));
    return std::string(path);
}

[[noreturn]] void fail_with_errno(int code) { throw FileAccessError(system_error_text(code)); }

}  // namespace

std::string system_error_text(int code) {
    std::string text = std::strerror(code);
    text.append(" (os error ").append(std::to_string(code)).append(")");
    return text;
}

std::string read_text_file(std::string_view path) {
    const std::string name = checked_path(path);
    errno = 0;
    FileHandle file(std::fopen(name.c_str(), "rb"));
    if (!file) fail_with_errno(errno);
    std::string text;
    char buffer[1 << 14];
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        text.append(buffer, got);
        if (got < sizeof buffer) {
            if (std::ferror(file.get())) fail_with_errno(errno != 0 ? errno : EIO);
            break;
        }
    }
    if (!is_valid_utf8(text)) throw FileAccessError(std::string(msg::kInvalidUtf8));
    return text;
}

void write_bytes_file(std::string_view path, std::string_view bytes) {
    replace_file_contents(checked_path(path), bytes);
}

}  // namespace vorn

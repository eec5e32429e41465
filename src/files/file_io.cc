#include "files/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/messages.h"
#include "common/utf8.h"
#include "files/replace_file.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>

#include "files/descriptor_io.h"
#endif

namespace vorn {

namespace {

#ifdef _WIN32
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;
#endif

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

#ifdef _WIN32

std::string read_text_file(std::string_view path, const StopCheck& stop) {
    const std::string name = checked_path(path);
    errno = 0;
    FileHandle file(std::fopen(name.c_str(), "rb"));
    if (!file) fail_with_errno(errno);
    std::string text;
    char buffer[1 << 14];
    for (;;) {
        stop.poll();
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

#else

std::string read_text_file(std::string_view path, const StopCheck& stop) {
    const std::string name = checked_path(path);
    Descriptor file(open_retrying(name, O_RDONLY, stop));
    if (file.get() < 0) fail_with_errno(errno);
    struct stat info{};
    if (::fstat(file.get(), &info) != 0) fail_with_errno(errno);
    // A regular file is read to its end, whatever its size; anything else (a
    // device, a pipe) may never end, so it is cut off at a bound.
    const bool regular = S_ISREG(info.st_mode);
    const std::size_t expected = regular && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    std::string text = read_to_end(file.get(), expected, regular ? static_cast<std::size_t>(-1) : kMaxStreamBytes,
                                   msg::kStreamTooLong, stop);
    if (!is_valid_utf8(text)) throw FileAccessError(std::string(msg::kInvalidUtf8));
    return text;
}

#endif

void write_bytes_file(std::string_view path, std::string_view bytes, const StopCheck& stop) {
    replace_file_contents(checked_path(path), bytes, stop);
}

}  // namespace vorn

#include "files/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/messages.h"
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

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::string system_error_text(int code) {
    std::string text = std::strerror(code);
    text.append(" (os error ").append(std::to_string(code)).append(")");
    return text;
}

bool is_valid_utf8(std::string_view bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        // The allowed range of the second byte depends on the lead byte: it
        // excludes overlong forms, surrogates and code points above U+10FFFF.
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (size - i < length) return false;
        if (data[i + 1] < low || data[i + 1] > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if (!is_continuation(data[i + k])) return false;
        }
        i += length;
    }
    return true;
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

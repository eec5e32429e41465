#include "files/descriptor_io.h"

#ifndef _WIN32

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "files/file_io.h"
#include "files/retry_interrupted.h"

namespace vorn {

Descriptor::~Descriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

int Descriptor::close() {
    // Not retried on EINTR: on Linux the descriptor is released either way.
    const int result = ::close(std::exchange(descriptor_, -1));
    return result == 0 ? 0 : errno;
}

void fail_with_system_code(int code) { throw FileAccessError(system_error_text(code != 0 ? code : EIO)); }

int open_retrying(const std::string& path, int flags, const StopCheck& stop, unsigned mode) {
    return retry_interrupted(stop, [&] { return ::open(path.c_str(), flags | O_CLOEXEC, static_cast<mode_t>(mode)); });
}

std::string read_to_end(int descriptor, std::size_t expected, std::size_t limit, std::string_view too_long_text,
                        const StopCheck& stop) {
    std::string bytes;
    // One byte more than the size, so the read that finds the end needs no
    // second allocation.
    if (expected > 0) bytes.reserve(std::min(expected, limit) + 1);
    std::size_t filled = 0;
    for (;;) {
        stop.check_now();  // a chunk is a few hundred microseconds of work
        if (filled == limit) {
            // A source that goes on past the limit is refused, one that ends
            // exactly at it is read whole.
            char probe = 0;
            const ssize_t extra = retry_interrupted(stop, [&] { return ::read(descriptor, &probe, 1); });
            if (extra < 0) fail_with_system_code(errno);
            if (extra == 0) return bytes;
            throw FileAccessError(std::string(too_long_text));
        }
        const std::size_t chunk = std::min(kTransferChunk, limit - filled);
        if (bytes.size() < filled + chunk) bytes.resize(filled + chunk);
        const ssize_t got = retry_interrupted(stop, [&] { return ::read(descriptor, bytes.data() + filled, chunk); });
        if (got < 0) fail_with_system_code(errno);
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

void write_all(int descriptor, std::string_view bytes, const StopCheck& stop) {
    while (!bytes.empty()) {
        stop.check_now();
        const std::size_t chunk = std::min(kTransferChunk, bytes.size());
        const ssize_t written = retry_interrupted(stop, [&] { return ::write(descriptor, bytes.data(), chunk); });
        if (written < 0) fail_with_system_code(errno);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace vorn

#endif

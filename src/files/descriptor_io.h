// Reading and writing whole byte runs through POSIX file descriptors, in
// chunks between which the stop check is consulted, retrying calls a signal
// interrupted (retry_interrupted.h). Failures throw FileAccessError with the
// system's text; a stop throws Stopped.
#pragma once

#ifndef _WIN32

#include <cstddef>
#include <string>
#include <string_view>

#include "common/stop_check.h"

namespace vorn {

// Owns a descriptor and closes it unless closed explicitly.
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();
    int get() const { return descriptor_; }
    // Closes now; returns the errno of a failed close, else 0.
    int close();

private:
    int descriptor_;
};

// The bytes per read or write call; the stop check is consulted once per
// chunk.
inline constexpr std::size_t kTransferChunk = std::size_t{1} << 20;

// Opens `path` with the flags (O_CLOEXEC added), retrying interrupted opens
// (a FIFO blocks until its other end opens). Returns -1 with errno set.
int open_retrying(const std::string& path, int flags, const StopCheck& stop, unsigned mode = 0);

// Reads from the descriptor's position to the end of the data. `expected`
// (the size of a regular file) is reserved up front. More than `limit`
// bytes fail with FileAccessError(too_long_text).
std::string read_to_end(int descriptor, std::size_t expected, std::size_t limit, std::string_view too_long_text,
                        const StopCheck& stop);

// Writes all of `bytes` at the descriptor's position.
void write_all(int descriptor, std::string_view bytes, const StopCheck& stop);

// Throws FileAccessError with the system text of `code` (EIO for 0).
[[noreturn]] void fail_with_system_code(int code);

}  // namespace vorn

#endif

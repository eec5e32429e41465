#include "files/descriptor_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <string>
#include <thread>

#include "common/stopping_check.testing.h"
#include "files/file_io.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

constexpr std::string_view kTooLong = "too long";

// What read_to_end gives for `size` bytes coming through a pipe (a source
// whose size is not known up front), with the given limit; "<too long>" for
// the refusal.
std::string read_through_pipe(std::size_t size, std::size_t limit) {
    int ends[2];
    if (::pipe(ends) != 0) return "<no pipe>";
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 26);
    std::thread writer([&] {
        vorn::Descriptor out(ends[1]);
        try {
            vorn::write_all(out.get(), bytes, vorn::never_stop());
        } catch (const vorn::FileAccessError&) {
            // the reader stopped early and closed its end
        }
    });
    std::string result;
    {
        vorn::Descriptor in(ends[0]);
        try {
            result = vorn::read_to_end(in.get(), 0, limit, kTooLong, vorn::never_stop());
            if (result != bytes) result = "<different bytes>";
        } catch (const vorn::FileAccessError& error) {
            result = "<" + std::string(error.what()) + ">";
        }
    }
    writer.join();
    return result == bytes ? "whole" : result;
}

}  // namespace

TEST(DescriptorIo, a_source_up_to_the_limit_is_read_whole_and_one_beyond_it_is_refused) {
    constexpr std::size_t chunk = vorn::kTransferChunk;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, chunk - 1, chunk, chunk + 1, 2 * chunk + 7}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(read_through_pipe(size, static_cast<std::size_t>(-1)), "whole");
        EXPECT_EQ(read_through_pipe(size, size), "whole");
        if (size > 0) {
            EXPECT_EQ(read_through_pipe(size, size - 1), "<too long>");
        }
    }
}

TEST(DescriptorIo, reads_and_writes_end_when_their_stop_check_asks) {
    const std::string path = "/tmp/vorn_descriptor_io_" + std::to_string(::getpid());
    const std::string bytes(3 * vorn::kTransferChunk, 'x');
    {
        vorn::Descriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
        EXPECT_THROW(vorn::write_all(out.get(), bytes, vorn::test_support::StoppingCheck()), vorn::Stopped);
        vorn::write_all(out.get(), bytes, vorn::never_stop());
    }
    vorn::Descriptor in(::open(path.c_str(), O_RDONLY));
    EXPECT_THROW(vorn::read_to_end(in.get(), bytes.size(), static_cast<std::size_t>(-1), kTooLong,
                                   vorn::test_support::StoppingCheck()),
                 vorn::Stopped);
    ::unlink(path.c_str());
    EXPECT_EQ(vorn::read_text_file("/dev/null"), "");
}

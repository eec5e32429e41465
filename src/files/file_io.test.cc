#include "files/file_io.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "files/temp_path.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::FileAccessError;
using vorn::test_support::TempPath;

std::string failure_text(void (*action)(const std::string&), const std::string& path) {
    try {
        action(path);
    } catch (const FileAccessError& error) {
        return error.what();
    }
    return "<no failure>";
}

}  // namespace

TEST(FileIo, file_io_write_then_read_round_trips_bytes) {
    TempPath path("round_trip.txt");
    const std::string text = "line one\nzwei \xC3\xBC\n\xE2\x82\xAC \xF0\x9F\x98\x80";
    vorn::write_bytes_file(path.str(), text);
    EXPECT_EQ(vorn::read_text_file(path.str()), text);
    // Create-or-truncate: a shorter second write leaves nothing of the first.
    vorn::write_bytes_file(path.str(), "ab");
    EXPECT_EQ(vorn::read_text_file(path.str()), std::string("ab"));
    vorn::write_bytes_file(path.str(), "");
    EXPECT_EQ(vorn::read_text_file(path.str()), std::string());
}

TEST(FileIo, file_io_failures_carry_system_text_with_code) {
    const auto read = [](const std::string& p) { vorn::read_text_file(p); };
    const auto write = [](const std::string& p) { vorn::write_bytes_file(p, "x"); };
    EXPECT_EQ(failure_text(read, "/tmp/vorn_no_such_dir/missing.vorn"),
              std::string(std::strerror(ENOENT)) + " (os error " + std::to_string(ENOENT) + ")");
    EXPECT_EQ(failure_text(read, "/tmp"),
              std::string(std::strerror(EISDIR)) + " (os error " + std::to_string(EISDIR) + ")");
    EXPECT_EQ(failure_text(write, "/tmp/vorn_no_such_dir/out.json"),
              std::string(std::strerror(ENOENT)) + " (os error " + std::to_string(ENOENT) + ")");
    EXPECT_EQ(failure_text(write, "/tmp"),
              std::string(std::strerror(EISDIR)) + " (os error " + std::to_string(EISDIR) + ")");
    EXPECT_EQ(vorn::system_error_text(ENOENT), std::string("No such file or directory (os error 2)"));
}

TEST(FileIo, file_io_nul_in_path_is_refused_before_any_access) {
    TempPath path("nul_target");
    // The part before the NUL names a real, writable path: it must stay untouched.
    const std::string with_nul = path.str() + std::string("\0suffix", 7);
    const auto read = [](const std::string& p) { vorn::read_text_file(p); };
    const auto write = [](const std::string& p) { vorn::write_bytes_file(p, "x"); };
    EXPECT_EQ(failure_text(write, with_nul), std::string("file name contained an unexpected NUL byte"));
    EXPECT_EQ(failure_text(read, with_nul), std::string("file name contained an unexpected NUL byte"));
    EXPECT_EQ(failure_text(read, path.str()),
              std::string(std::strerror(ENOENT)) + " (os error " + std::to_string(ENOENT) + ")");
}

TEST(FileIo, file_io_invalid_utf8_is_an_io_failure) {
    TempPath path("latin1.txt");
    vorn::write_bytes_file(path.str(), "caf\xE9");
    const auto read = [](const std::string& p) { vorn::read_text_file(p); };
    EXPECT_EQ(failure_text(read, path.str()), std::string("stream did not contain valid UTF-8"));
}

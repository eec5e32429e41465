// Unique file paths under /tmp for tests, removed when the holder goes away.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

namespace vorn::test_support {

class TempPath {
public:
    explicit TempPath(std::string_view stem) {
        static int counter = 0;
        path_ = "/tmp/vorn_files_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
                std::string(stem);
        std::remove(path_.c_str());
    }
    ~TempPath() { std::remove(path_.c_str()); }
    TempPath(const TempPath&) = delete;
    TempPath& operator=(const TempPath&) = delete;

    const std::string& str() const { return path_; }

private:
    std::string path_;
};

}  // namespace vorn::test_support

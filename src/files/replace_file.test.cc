#include "files/replace_file.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "files/file_io.h"
#include <gtest/gtest.h>

namespace {

// A fresh directory under /tmp, removed with its files afterwards.
class TempDirectory {
public:
    TempDirectory() {
        char name[] = "/tmp/vorn_replace_test_XXXXXX";
        path_ = ::mkdtemp(name);
    }
    ~TempDirectory() {
        for (const std::string& entry : entries()) ::unlink((path_ + "/" + entry).c_str());
        ::rmdir(path_.c_str());
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(path_.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            ::closedir(dir);
        }
        return names;
    }

private:
    std::string path_;
};

mode_t mode_of(const std::string& path) {
    struct stat info{};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

}  // namespace

TEST(ReplaceFile, replace_file_follows_links_and_keeps_the_mode) {
    TempDirectory dir;
    vorn::replace_file_contents(dir / "target", "old");
    ::chmod((dir / "target").c_str(), 0640);
    EXPECT_EQ(::symlink("target", (dir / "link").c_str()), 0);
    vorn::replace_file_contents(dir / "link", "new contents");
    EXPECT_EQ(vorn::read_text_file(dir / "target"), std::string("new contents"));
    EXPECT_EQ(mode_of(dir / "target"), mode_t{0640});
    struct stat info{};
    EXPECT_EQ(::lstat((dir / "link").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(dir.entries().size(), std::size_t{2});
}

TEST(ReplaceFile, replace_file_failures_leave_no_temporary_file) {
    TempDirectory dir;
    EXPECT_EQ(::mkdir((dir / "sub").c_str(), 0700), 0);
    const std::string targets[] = {dir / "sub", dir / "missing/x", ""};
    for (const std::string& target : targets) {
        EXPECT_THROW(vorn::replace_file_contents(target, "x"), vorn::FileAccessError);
    }
    EXPECT_TRUE(dir.entries() == std::vector<std::string>{"sub"});
    ::rmdir((dir / "sub").c_str());
}

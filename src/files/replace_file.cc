#include "files/replace_file.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

#include "files/file_io.h"

#ifdef _WIN32
#include <cstdio>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#endif

namespace vorn {

namespace {

[[noreturn]] void fail_with_file_errno(int code) { throw FileAccessError(system_error_text(code != 0 ? code : EIO)); }

#ifndef _WIN32
std::string directory_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1);  // keeps the separator ("/" for the root)
}

std::string base_name_of(const std::string& path) {
    const std::string directory = directory_of(path);
    return path.substr(directory.size());
}

// A name for the temporary file next to the target: hidden, and distinct per
// process and attempt so that concurrent savers never share one.
std::string temporary_name(const std::string& target, unsigned attempt) {
    static std::uint64_t counter = 0;
    const long process = static_cast<long>(::getpid());
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    // The target's name is shortened so that a long one still leaves room
    // for the suffix within the system's limit on one name.
    return directory_of(target) + "." + base_name_of(target).substr(0, 128) + ".tmp-" + std::to_string(process) +
           "-" + std::to_string(ticks % 1000000007u) + "-" + std::to_string(counter++) + "-" + std::to_string(attempt);
}
#endif

#ifdef _WIN32

std::wstring wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

[[noreturn]] void fail_with_last_error() {
    const DWORD error = GetLastError();
    fail_with_file_errno(error == ERROR_ACCESS_DENIED ? EACCES : error == ERROR_PATH_NOT_FOUND ? ENOENT : EIO);
}

// The path of the file that opening `path` reaches (links followed), or
// `path` itself when it does not exist yet.
std::wstring resolve_links(const std::wstring& path) {
    HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return path;
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
    if (length >= resolved.size()) {
        resolved.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
    }
    CloseHandle(handle);
    if (length == 0 || length >= resolved.size()) return path;
    resolved.resize(length);
    return resolved;
}

}  // namespace

void replace_file_contents(const std::string& path, std::string_view bytes) {
    if (path.empty()) fail_with_file_errno(ENOENT);
    const std::wstring target = resolve_links(wide(path));
    const std::size_t slash = target.find_last_of(L"/\\");
    const std::wstring directory = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    const std::wstring base = target.substr(directory.size());
    std::wstring temporary;
    std::FILE* file = nullptr;
    for (unsigned attempt = 0; attempt < 100 && !file; ++attempt) {
        temporary = directory + L"." + base.substr(0, 128) + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(attempt);
        file = _wfopen(temporary.c_str(), L"wxb");
        if (!file && errno != EEXIST) fail_with_file_errno(errno);
    }
    if (!file) fail_with_file_errno(EEXIST);
    errno = 0;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = ok && std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
    const int code = errno;
    if (std::fclose(file) != 0) ok = false;
    if (!ok) {
        DeleteFileW(temporary.c_str());
        fail_with_file_errno(code);
    }
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(temporary.c_str(), attributes);
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        SetLastError(error);
        fail_with_last_error();
    }
}

#else

// Closes the descriptor and removes the temporary file unless released.
class TemporaryFile {
public:
    TemporaryFile(std::string name, int descriptor) : name_(std::move(name)), descriptor_(descriptor) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (descriptor_ >= 0) ::close(descriptor_);
        if (!name_.empty()) ::unlink(name_.c_str());
    }
    int descriptor() const { return descriptor_; }
    const std::string& name() const { return name_; }
    // Closes the descriptor; returns the errno of a failed close, else 0.
    int close() {
        const int result = ::close(std::exchange(descriptor_, -1));
        return result == 0 ? 0 : errno;
    }
    // The file now has its final name: nothing to remove any more.
    void keep() { name_.clear(); }

private:
    std::string name_;
    int descriptor_;
};

// Follows symbolic links (a bounded number, as the system does) to the path
// of the file that opening `path` would reach; a missing file ends the walk.
std::string resolve_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0) fail_with_file_errno(errno);
        link.resize(static_cast<std::size_t>(length));
        path = (!link.empty() && link.front() == '/') ? link : directory_of(path) + link;
    }
    fail_with_file_errno(ELOOP);
}

void write_all(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            fail_with_file_errno(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Writes in place: for targets that are not regular files.
void write_in_place(const std::string& path, std::string_view bytes) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (descriptor < 0) fail_with_file_errno(errno);
    TemporaryFile file(std::string(), descriptor);
    write_all(file.descriptor(), bytes);
    if (const int code = file.close()) fail_with_file_errno(code);
}

// Makes the rename itself durable; a directory that cannot be synced (some
// file systems refuse) does not fail a save whose data is already on disk.
void sync_directory(const std::string& target) {
    const std::string directory = directory_of(target);
    const int descriptor = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    ::fsync(descriptor);
    ::close(descriptor);
}

}  // namespace

void replace_file_contents(const std::string& path, std::string_view bytes) {
    if (path.empty()) fail_with_file_errno(ENOENT);
    const std::string target = resolve_links(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
        write_in_place(target, bytes);
        return;
    }
    int descriptor = -1;
    std::string temporary;
    for (unsigned attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        temporary = temporary_name(target, attempt);
        // 0666 under the caller's umask: the mode a newly created target gets.
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST) {
            // A writable file in a directory that takes no new files can
            // still be saved, in place, as it could be before.
            const int code = errno;
            if ((code == EACCES || code == EPERM) && exists && ::access(target.c_str(), W_OK) == 0) {
                write_in_place(target, bytes);
                return;
            }
            fail_with_file_errno(code);
        }
    }
    if (descriptor < 0) fail_with_file_errno(EEXIST);
    TemporaryFile file(temporary, descriptor);
    if (exists && S_ISREG(existing.st_mode) && ::fchmod(descriptor, existing.st_mode & 07777) != 0) {
        fail_with_file_errno(errno);
    }
    write_all(descriptor, bytes);
    if (::fsync(descriptor) != 0) fail_with_file_errno(errno);
    if (const int code = file.close()) fail_with_file_errno(code);
    if (::rename(temporary.c_str(), target.c_str()) != 0) fail_with_file_errno(errno);
    file.keep();
    sync_directory(target);
}

#endif

}  // namespace vorn

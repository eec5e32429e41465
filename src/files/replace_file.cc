#include "files/replace_file.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "files/file_io.h"

#ifdef _WIN32
#include <cstdio>
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "common/messages.h"
#include "files/descriptor_io.h"
#endif

namespace vorn {

namespace {

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

// The directory as an error text names it: without the trailing separator
// (but "/" for the root), "." for the current one.
std::string shown_directory(const std::string& path) {
    std::string directory = directory_of(path);
    if (directory.size() > 1) directory.pop_back();
    return directory.empty() ? std::string(".") : directory;
}

// Temporary files are named ".<target name>.tmp-<pid>-<ticks>-<counter>-<attempt>":
// hidden, and distinct per process and attempt so that concurrent savers
// never share one. The target's name is shortened so that a long one still
// leaves room for the suffix within the system's limit on one name.
std::string temporary_prefix(const std::string& target) { return "." + base_name_of(target).substr(0, 128) + ".tmp-"; }

std::string temporary_name(const std::string& target, unsigned attempt) {
    static std::atomic<std::uint64_t> counter{0};
    const long process = static_cast<long>(::getpid());
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return directory_of(target) + temporary_prefix(target) + std::to_string(process) + "-" +
           std::to_string(ticks % 1000000007u) + "-" + std::to_string(counter++) + "-" + std::to_string(attempt);
}

// The process id of a name of the temporary form (after the prefix: four
// runs of digits joined by '-'), or 0 for any other name.
long temporary_owner(std::string_view suffix) {
    long owner = 0;
    int runs = 0;
    std::size_t digits = 0;
    for (const char c : suffix) {
        if (c >= '0' && c <= '9') {
            if (runs == 0) {
                if (owner > 100000000L) return 0;
                owner = owner * 10 + (c - '0');
            }
            ++digits;
        } else if (c == '-' && digits > 0 && runs < 3) {
            ++runs;
            digits = 0;
        } else {
            return 0;
        }
    }
    return runs == 3 && digits > 0 ? owner : 0;
}

// Removes the temporary files of earlier saves of this target whose process
// no longer exists (killed in the middle of a save). Files of live
// processes, and of processes this one cannot signal, stay. Best effort:
// nothing here fails the save that has already succeeded. A save of the
// same target by a process this one cannot see (another machine sharing
// the directory, another process id namespace) would lose its temporary
// file and fail at its rename, leaving the previous file as it was.
void remove_stale_temporaries(const std::string& target) {
    const std::string directory = directory_of(target);
    DIR* listing = ::opendir(directory.empty() ? "." : directory.c_str());
    if (listing == nullptr) return;
    const std::string prefix = temporary_prefix(target);
    const long self = static_cast<long>(::getpid());
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(prefix)) continue;
        const long owner = temporary_owner(name.substr(prefix.size()));
        if (owner <= 0 || owner == self) continue;
        if (::kill(static_cast<pid_t>(owner), 0) == 0 || errno != ESRCH) continue;
        ::unlinkat(::dirfd(listing), entry->d_name, 0);
    }
    ::closedir(listing);
}
#endif

#ifdef _WIN32

[[noreturn]] void fail_with_file_errno(int code) { throw FileAccessError(system_error_text(code != 0 ? code : EIO)); }

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

void replace_file_contents(const std::string& path, std::string_view bytes, const StopCheck& stop) {
    static_cast<void>(stop);  // the single write below is not split into chunks here
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

// Removes the temporary file unless it was kept (renamed to the target).
class TemporaryName {
public:
    explicit TemporaryName(std::string name) : name_(std::move(name)) {}
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName() {
        if (!name_.empty()) ::unlink(name_.c_str());
    }
    const std::string& name() const { return name_; }
    // The file now has its final name: nothing to remove any more.
    void keep() { name_.clear(); }

private:
    std::string name_;
};

// Follows symbolic links (a bounded number, as the system does) to the path
// of the file that opening `path` would reach; a missing file ends the walk.
std::string resolve_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info{};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0) fail_with_system_code(errno);
        link.resize(static_cast<std::size_t>(length));
        path = (!link.empty() && link.front() == '/') ? link : directory_of(path) + link;
    }
    fail_with_system_code(ELOOP);
}

// Writes to a target that is not a regular file (a device, a pipe), which
// cannot be renamed over.
void write_to_special_file(const std::string& path, std::string_view bytes, const StopCheck& stop) {
    Descriptor file(open_retrying(path, O_WRONLY | O_TRUNC, stop));
    if (file.get() < 0) fail_with_system_code(errno);
    write_all(file.get(), bytes, stop);
    if (const int code = file.close()) fail_with_system_code(code);
}

// Two savers rewriting one file in place would interleave their writes and
// cuts; an exclusive advisory lock, held until the descriptor closes, makes
// them take turns. Waiting for it consults the stop check. A file system
// without such locks does without.
void lock_for_rewrite(int descriptor, const StopCheck& stop) {
    for (;;) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) return;
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        stop.check_now();
        ::usleep(1000);
    }
}

// Puts `bytes` back as the whole contents after a failed rewrite. Not
// stoppable: the old contents must be whole again before the call ends.
void restore_contents(int descriptor, std::string_view bytes) {
    if (::lseek(descriptor, 0, SEEK_SET) != 0) return;
    try {
        write_all(descriptor, bytes, never_stop());
    } catch (const FileAccessError&) {
        return;  // the error that started the restore is the one reported
    }
    if (::ftruncate(descriptor, static_cast<off_t>(bytes.size())) == 0) ::fsync(descriptor);
}

// Rewrites a regular file in place, for a directory that takes no new
// files. The file is never truncated first: its old contents are read,
// the new size is reserved (a full disk or a file size limit fails here,
// before anything is overwritten), the new bytes are written over the old
// ones and the file is cut to their length only when all are written. Any
// failure after the first byte written, a stop included, writes the old
// contents back. A file that cannot be read cannot be restored, so it is
// refused. Only a crash of the process in the middle can leave a mix.
void rewrite_in_place(const std::string& target, std::string_view bytes, const StopCheck& stop) {
    Descriptor file(open_retrying(target, O_RDWR, stop));
    if (file.get() < 0) {
        const int code = errno;
        if (code == EACCES || code == EPERM) throw FileAccessError(msg::unsafe_in_place_save(shown_directory(target)));
        fail_with_system_code(code);
    }
    lock_for_rewrite(file.get(), stop);
    const std::string old = read_to_end(file.get(), 0, static_cast<std::size_t>(-1), {}, stop);
    if (bytes.size() > old.size()) {
        // Not every file system can reserve: then the writes find out.
        const int code = ::posix_fallocate(file.get(), 0, static_cast<off_t>(bytes.size()));
        if (code != 0 && code != EINVAL && code != EOPNOTSUPP && code != ENOSYS) {
            restore_contents(file.get(), old);  // a partial reservation may have grown the file
            fail_with_system_code(code);
        }
    }
    try {
        if (::lseek(file.get(), 0, SEEK_SET) != 0) fail_with_system_code(errno);
        write_all(file.get(), bytes, stop);
        if (bytes.size() < old.size() && ::ftruncate(file.get(), static_cast<off_t>(bytes.size())) != 0) {
            fail_with_system_code(errno);
        }
        if (::fsync(file.get()) != 0) fail_with_system_code(errno);
    } catch (...) {
        restore_contents(file.get(), old);
        throw;
    }
    if (const int code = file.close()) fail_with_system_code(code);
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

void replace_file_contents(const std::string& path, std::string_view bytes, const StopCheck& stop) {
    if (path.empty()) fail_with_system_code(ENOENT);
    const std::string target = resolve_links(path);
    struct stat existing{};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
        write_to_special_file(target, bytes, stop);
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
            if ((code == EACCES || code == EPERM) && exists && S_ISREG(existing.st_mode) &&
                ::access(target.c_str(), W_OK) == 0) {
                rewrite_in_place(target, bytes, stop);
                return;
            }
            fail_with_system_code(code);
        }
    }
    if (descriptor < 0) fail_with_system_code(EEXIST);
    TemporaryName name(temporary);
    Descriptor file(descriptor);
    if (exists && S_ISREG(existing.st_mode) && ::fchmod(descriptor, existing.st_mode & 07777) != 0) {
        fail_with_system_code(errno);
    }
    write_all(descriptor, bytes, stop);
    if (::fsync(descriptor) != 0) fail_with_system_code(errno);
    if (const int code = file.close()) fail_with_system_code(code);
    if (::rename(temporary.c_str(), target.c_str()) != 0) fail_with_system_code(errno);
    name.keep();
    sync_directory(target);
    remove_stale_temporaries(target);
}

#endif

}  // namespace vorn

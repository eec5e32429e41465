#include "random/thread_generator.h"

#include <cerrno>
#include <string>
#include <system_error>

#include "common/errors.h"
#include "common/messages.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <sys/random.h>
#else
#include <unistd.h>
#endif

namespace vorn {
namespace {

ChaCha12Generator::Key initial_key() {
    ChaCha12Generator::Key key{};
    if (int error = read_os_entropy(key); error != 0) {
        throw InternalFault(std::string(msg::kThreadRngPrefix) + std::system_category().message(error));
    }
    return key;
}

}  // namespace

int read_os_entropy(ChaCha12Generator::Key& key) {
#if defined(_WIN32)
    using ProcessPrngFn = BOOL(WINAPI*)(PBYTE, SIZE_T);
    static const auto process_prng =
        reinterpret_cast<ProcessPrngFn>(GetProcAddress(LoadLibraryW(L"bcryptprimitives.dll"), "ProcessPrng"));
    if (process_prng == nullptr) return static_cast<int>(GetLastError());
    process_prng(key.data(), key.size());  // documented never to fail
    return 0;
#elif defined(__linux__)
    std::size_t filled = 0;
    while (filled < key.size()) {
        const ssize_t got = getrandom(key.data() + filled, key.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        filled += static_cast<std::size_t>(got);
    }
    return 0;
#else
    return getentropy(key.data(), key.size()) == 0 ? 0 : errno;
#endif
}

ThreadGenerator::ThreadGenerator() : generator_(initial_key()) {}

void ThreadGenerator::rekey() {
    ChaCha12Generator::Key key{};
    // A failed re-key keeps the current stream running: it was keyed from the
    // same source and nothing depends on the switch.
    if (read_os_entropy(key) == 0) generator_ = ChaCha12Generator(key);
}

ThreadGenerator& thread_generator() {
    thread_local ThreadGenerator generator;
    return generator;
}

}  // namespace vorn

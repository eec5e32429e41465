#include "threads/thread_count.h"

#include <cstdlib>
#include <string>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

#include "common/errors.h"
#include "common/messages.h"

namespace vorn {

namespace {

// The blanks a shell, an .env file or a Windows editor may leave around a
// value: what C's isspace() calls white space.
bool is_surrounding_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::optional<unsigned> parse_thread_count(std::string_view text) {
    while (!text.empty() && is_surrounding_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_surrounding_blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;  // a sign, a blank inside, anything else
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > kMaxThreads) return std::nullopt;  // before it could overflow
    }
    if (value < 1) return std::nullopt;
    return value;
}

unsigned available_cpus() {
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return static_cast<unsigned>(count);
    }
#endif
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? hardware : 1;
}

unsigned call_thread_count() {
    const char* value = std::getenv(msg::kNumThreadsVariable.data());
    if (value == nullptr || *value == '\0') {
        const unsigned cpus = available_cpus();
        return cpus < kMaxThreads ? cpus : kMaxThreads;
    }
    const std::optional<unsigned> parsed = parse_thread_count(value);
    if (!parsed) throw ValueError(msg::invalid_thread_count(value));
    return *parsed;
}

}  // namespace vorn

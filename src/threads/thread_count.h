// How many threads a call may use for its ensembles: VORN_NUM_THREADS when
// it is set (1 keeps everything on the calling thread), otherwise the number
// of CPUs this process may run on. Read afresh by every call.
#pragma once

#include <optional>
#include <string_view>

namespace vorn {

inline constexpr unsigned kMaxThreads = 1024;

// Throws ValueError naming the variable when it is set to anything but a
// whole number from 1 to kMaxThreads (an empty value counts as unset).
unsigned call_thread_count();

// The value of a VORN_NUM_THREADS text, or nullopt when it is not valid:
// white space around it (spaces, tabs, line ends) is ignored, and what is
// left must be decimal digits only (no sign; leading zeros are fine) giving
// a number from 1 to kMaxThreads.
std::optional<unsigned> parse_thread_count(std::string_view text);

// CPUs in the process's affinity mask (at least 1).
unsigned available_cpus();

}  // namespace vorn

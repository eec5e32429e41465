// Every fixed text that the simulation core reports, in one place. Texts that
// need values are built by the small functions here, on the failure path only.
// The Python-facing conversion and arity texts live in python_bridge/messages.h.
#pragma once

#include <string>
#include <string_view>

namespace vorn::msg {

// ---- engine ----
inline constexpr std::string_view kNoNetworkForRequest =
    "Network topology must be explicitly defined prior to run processing.";

// ---- simulation ----
inline constexpr std::string_view kNoNetworkForEnsemble = "No network defined. Call define_network() first.";
inline constexpr std::string_view kEmptyRange = "cannot sample empty range";
inline constexpr std::string_view kThreadRngPrefix = "could not initialize thread_rng: ";

// ---- analysis ----

// ---- protocols ----

// ---- topologies ----

// ---- api (.vorn reader and writer) ----

// ---- files (loading, validation, diff, snapshots) ----

}  // namespace vorn::msg

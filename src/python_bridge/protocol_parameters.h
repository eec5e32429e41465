// Parameter records built from Python arguments, where None stands for the
// record's default; shared by the constructors and the module functions.
#pragma once

#include <optional>
#include <string>

#include "protocols/qkd.h"
#include "protocols/teleportation.h"

namespace vorn::py {

QKDParameters make_qkd_parameters(std::string from_node, std::string to_node, double fidelity_target,
                                  double max_latency_ms, std::optional<std::uint64_t> rounds,
                                  std::optional<double> error_rate_tolerance,
                                  std::optional<double> sifting_overhead_ratio,
                                  std::optional<double> privacy_amplification_factor);

TeleportationParameters make_teleportation_parameters(std::string source_node, std::string target_node,
                                                      std::optional<double> state_fidelity,
                                                      std::optional<double> classical_bandwidth_ms);

}  // namespace vorn::py

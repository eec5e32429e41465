// The representation texts of the network-file records, as Python shows them:
// optional values in option form ("None" or "Some(...)"), floats in their
// debug form inside options, texts in quoted form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/vorn_records.h"

namespace vorn {

// "VornFile(version='1.0', metadata={name:'Lab'}, nodes=0, links=0)"
std::string vorn_file_repr(std::string_view version, std::string_view name, std::size_t nodes, std::size_t links);
// "VornMetadata(name='Lab', description=Some(\"x\"), author=None)"
std::string vorn_metadata_repr(const VornMetadata& metadata);
// "VornNode(id='A', memory=Some(100.0), capacity=Some(4), type=Some(Ground))"
std::string vorn_node_repr(const VornNode& node);
// "VornLink(id=\"L1\", src='A', to='B', dist=10km, fid=0.95, rate=1000Hz)"
std::string vorn_link_repr(const VornLink& link);
// "VornConfig(alpha_loss=Some(0.5), beta_fidelity_decay=None, gamma_swapping=None, max_attempts=Some(40))"
std::string vorn_config_repr(const VornConfig& config);
// "VornConstraints(fidelity_target=Some(0.9), max_latency_ms=None)"
std::string vorn_constraints_repr(const VornConstraints& constraints);
// "None" or "Some(" + the float's debug form + ")"
std::string optional_float_text(const std::optional<double>& value);

}  // namespace vorn

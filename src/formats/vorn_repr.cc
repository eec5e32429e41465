#include "formats/vorn_repr.h"

#include <charconv>

#include "formats/number_text.h"
#include "formats/quoted_text.h"

namespace vorn {

namespace {

template <class T, class Text>
std::string option_text(const std::optional<T>& value, Text&& text) {
    if (!value) return "None";
    return "Some(" + text(*value) + ")";
}

std::string node_type_name(VornNodeType type) {
    switch (type) {
        case VornNodeType::Ground: return "Ground";
        case VornNodeType::Satellite: return "Satellite";
        case VornNodeType::Repeater: return "Repeater";
    }
    return "Ground";
}

std::string optional_text(const std::optional<std::string>& value) {
    return option_text(value, [](const std::string& text) { return quoted_text(text); });
}

std::string optional_u32(const std::optional<std::uint32_t>& value) {
    return option_text(value, [](std::uint32_t number) { return std::to_string(number); });
}

// Two fraction digits, correctly rounded from the exact binary value.
std::string two_decimals(double value) {
    char buffer[512];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return error == std::errc() ? std::string(buffer, end) : plain_number_text(value);
}

}  // namespace

std::string optional_float_text(const std::optional<double>& value) {
    return option_text(value, [](double number) { return debug_number_text(number); });
}

std::string vorn_file_repr(std::string_view version, std::string_view name, std::size_t nodes, std::size_t links) {
    std::string text = "VornFile(version='";
    text += version;
    text += "', metadata={name:'";
    text += name;
    text += "'}, nodes=" + std::to_string(nodes) + ", links=" + std::to_string(links) + ")";
    return text;
}

std::string vorn_metadata_repr(const VornMetadata& metadata) {
    return "VornMetadata(name='" + metadata.name + "', description=" + optional_text(metadata.description) +
           ", author=" + optional_text(metadata.author) + ")";
}

std::string vorn_node_repr(const VornNode& node) {
    return "VornNode(id='" + node.id + "', memory=" + optional_float_text(node.memory_lifetime_ms) +
           ", capacity=" + optional_u32(node.memory_capacity) +
           ", type=" + option_text(node.node_type, node_type_name) + ")";
}

std::string vorn_link_repr(const VornLink& link) {
    return "VornLink(id=" + quoted_text(link.id.value_or("")) + ", src='" + link.from + "', to='" + link.to +
           "', dist=" + plain_number_text(link.distance_km) + "km, fid=" + two_decimals(link.base_fidelity) +
           ", rate=" + plain_number_text(link.generation_rate_hz) + "Hz)";
}

std::string vorn_config_repr(const VornConfig& config) {
    return "VornConfig(alpha_loss=" + optional_float_text(config.alpha_loss) +
           ", beta_fidelity_decay=" + optional_float_text(config.beta_fidelity_decay) +
           ", gamma_swapping=" + optional_float_text(config.gamma_swapping) +
           ", max_attempts=" + optional_u32(config.max_attempts) + ")";
}

std::string vorn_constraints_repr(const VornConstraints& constraints) {
    return "VornConstraints(fidelity_target=" + optional_float_text(constraints.fidelity_target) +
           ", max_latency_ms=" + optional_float_text(constraints.max_latency_ms) + ")";
}

}  // namespace vorn

// The records of a .vorn network file, member for member as the document
// holds them. Optional members are std::optional: "not given" is a state of
// its own (absent or null in the document, left out when written). The
// records check nothing; validation is a separate step.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/json_value.h"

namespace vorn {

enum class VornNodeType : std::uint8_t { Ground = 0, Satellite = 1, Repeater = 2 };
enum class VornLinkType : std::uint8_t { Fiber = 0, Satellite = 1 };

struct VornMetadata {
    std::string name;
    std::optional<std::string> description;
    std::optional<std::string> author;
    std::optional<std::string> created_at;  // free text

    friend bool operator==(const VornMetadata&, const VornMetadata&) = default;
};

struct VornNode {
    std::string id;
    std::optional<double> memory_lifetime_ms;
    std::optional<std::uint32_t> memory_capacity;
    std::optional<VornNodeType> node_type;

    friend bool operator==(const VornNode&, const VornNode&) = default;
};

// Multiplicative factors on a satellite link's generation rate.
struct VornSatelliteExtension {
    double visibility = 0.0;
    double weather_factor = 0.0;

    friend bool operator==(const VornSatelliteExtension&, const VornSatelliteExtension&) = default;
};

struct VornLink {
    std::optional<std::string> id;
    std::string from;
    std::string to;
    double distance_km = 0.0;
    double base_fidelity = 0.0;
    double generation_rate_hz = 0.0;
    std::optional<VornLinkType> link_type;
    std::optional<VornSatelliteExtension> satellite;

    friend bool operator==(const VornLink&, const VornLink&) = default;
};

struct VornConfig {
    std::optional<double> alpha_loss;
    std::optional<double> beta_fidelity_decay;
    std::optional<double> gamma_swapping;
    std::optional<std::uint32_t> max_attempts;

    friend bool operator==(const VornConfig&, const VornConfig&) = default;
};

struct VornConstraints {
    std::optional<double> fidelity_target;
    std::optional<double> max_latency_ms;

    friend bool operator==(const VornConstraints&, const VornConstraints&) = default;
};

struct VornExtensions {
    std::optional<JsonValue> custom;  // any JSON value, kept as read

    friend bool operator==(const VornExtensions&, const VornExtensions&) = default;
};

struct VornFile {
    std::string version;
    VornMetadata metadata;
    std::vector<VornNode> nodes;
    std::vector<VornLink> links;
    std::optional<VornConfig> config;
    std::optional<VornConstraints> constraints;
    std::optional<VornExtensions> extensions;

    // Member-wise; floats compare as doubles (a NaN is never equal).
    friend bool operator==(const VornFile&, const VornFile&) = default;
};

}  // namespace vorn

// The member tables of the .vorn document: names, declaration order and
// presence of every member of every record, and the JSON strings of the two
// enumerations. The reader and the writer both work from these tables.
#pragma once

#include <array>
#include <string_view>

#include "formats/json_records.h"
#include "formats/vorn_records.h"

namespace vorn::json {

inline constexpr std::array<std::string_view, 3> kVornNodeTypeNames{"ground", "satellite", "repeater"};
inline constexpr std::array<std::string_view, 2> kVornLinkTypeNames{"fiber", "satellite"};

template <>
struct Codec<VornNodeType> : EnumCodec<VornNodeType, kVornNodeTypeNames> {};
template <>
struct Codec<VornLinkType> : EnumCodec<VornLinkType, kVornLinkTypeNames> {};

inline constexpr std::array kVornMetadataFields{
    required_field<&VornMetadata::name>("name"),
    optional_field<&VornMetadata::description>("description"),
    optional_field<&VornMetadata::author>("author"),
    optional_field<&VornMetadata::created_at>("created_at"),
};
inline constexpr RecordFormat<VornMetadata> kVornMetadataFormat{"VornMetadata", kVornMetadataFields};
template <>
struct Codec<VornMetadata> : RecordCodec<VornMetadata, kVornMetadataFormat> {};

inline constexpr std::array kVornNodeFields{
    required_field<&VornNode::id>("id"),
    optional_field<&VornNode::memory_lifetime_ms>("memory_lifetime_ms"),
    optional_field<&VornNode::memory_capacity>("memory_capacity"),
    optional_field<&VornNode::node_type>("node_type"),
};
inline constexpr RecordFormat<VornNode> kVornNodeFormat{"VornNode", kVornNodeFields};
template <>
struct Codec<VornNode> : RecordCodec<VornNode, kVornNodeFormat> {};

inline constexpr std::array kVornSatelliteFields{
    required_field<&VornSatelliteExtension::visibility>("visibility"),
    required_field<&VornSatelliteExtension::weather_factor>("weather_factor"),
};
inline constexpr RecordFormat<VornSatelliteExtension> kVornSatelliteFormat{"VornSatelliteExtension",
                                                                           kVornSatelliteFields};
template <>
struct Codec<VornSatelliteExtension> : RecordCodec<VornSatelliteExtension, kVornSatelliteFormat> {};

inline constexpr std::array kVornLinkFields{
    optional_field<&VornLink::id>("id"),
    required_field<&VornLink::from>("from"),
    required_field<&VornLink::to>("to"),
    required_field<&VornLink::distance_km>("distance_km"),
    required_field<&VornLink::base_fidelity>("base_fidelity"),
    required_field<&VornLink::generation_rate_hz>("generation_rate_hz"),
    optional_field<&VornLink::link_type>("link_type"),
    optional_field<&VornLink::satellite>("satellite"),
};
inline constexpr RecordFormat<VornLink> kVornLinkFormat{"VornLink", kVornLinkFields};
template <>
struct Codec<VornLink> : RecordCodec<VornLink, kVornLinkFormat> {};

inline constexpr std::array kVornConfigFields{
    optional_field<&VornConfig::alpha_loss>("alpha_loss"),
    optional_field<&VornConfig::beta_fidelity_decay>("beta_fidelity_decay"),
    optional_field<&VornConfig::gamma_swapping>("gamma_swapping"),
    optional_field<&VornConfig::max_attempts>("max_attempts"),
};
inline constexpr RecordFormat<VornConfig> kVornConfigFormat{"VornConfig", kVornConfigFields};
template <>
struct Codec<VornConfig> : RecordCodec<VornConfig, kVornConfigFormat> {};

inline constexpr std::array kVornConstraintsFields{
    optional_field<&VornConstraints::fidelity_target>("fidelity_target"),
    optional_field<&VornConstraints::max_latency_ms>("max_latency_ms"),
};
inline constexpr RecordFormat<VornConstraints> kVornConstraintsFormat{"VornConstraints", kVornConstraintsFields};
template <>
struct Codec<VornConstraints> : RecordCodec<VornConstraints, kVornConstraintsFormat> {};

inline constexpr std::array kVornExtensionsFields{
    optional_field<&VornExtensions::custom>("custom"),
};
inline constexpr RecordFormat<VornExtensions> kVornExtensionsFormat{"VornExtensions", kVornExtensionsFields};
template <>
struct Codec<VornExtensions> : RecordCodec<VornExtensions, kVornExtensionsFormat> {};

inline constexpr std::array kVornFileFields{
    required_field<&VornFile::version>("version"),       required_field<&VornFile::metadata>("metadata"),
    required_field<&VornFile::nodes>("nodes"),           required_field<&VornFile::links>("links"),
    optional_field<&VornFile::config>("config"),         optional_field<&VornFile::constraints>("constraints"),
    optional_field<&VornFile::extensions>("extensions"),
};
inline constexpr RecordFormat<VornFile> kVornFileFormat{"VornFile", kVornFileFields};

}  // namespace vorn::json

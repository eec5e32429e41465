// The member tables of a topology snapshot document: camelCase keys, in the
// order they are written. Every member is required except a link's
// "linkType" (absent: Fiber) and "satelliteConditions" (absent or null: none,
// written as null). The reader and the writer both work from these tables.
#pragma once

#include <array>
#include <string_view>

#include "formats/json_records.h"
#include "files/topology_snapshot.h"

namespace vorn::json {

inline constexpr std::array<std::string_view, 2> kSnapshotLinkTypeNames{"Fiber", "Satellite"};

template <>
struct Codec<LinkType> : EnumCodec<LinkType, kSnapshotLinkTypeNames> {};

inline constexpr std::array kSnapshotNodeFields{
    required_field<&NodeDefinition::id>("id"),
    required_field<&NodeDefinition::memory_lifetime_t2>("memoryLifetimeT2"),
};
inline constexpr RecordFormat<NodeDefinition> kSnapshotNodeFormat{"NodeDefinition", kSnapshotNodeFields};
template <>
struct Codec<NodeDefinition> : RecordCodec<NodeDefinition, kSnapshotNodeFormat> {};

inline constexpr std::array kSatelliteConditionsFields{
    required_field<&SatelliteConditions::visibility>("visibility"),
    required_field<&SatelliteConditions::weather_factor>("weatherFactor"),
};
inline constexpr RecordFormat<SatelliteConditions> kSatelliteConditionsFormat{"SatelliteConditions",
                                                                              kSatelliteConditionsFields};
template <>
struct Codec<SatelliteConditions> : RecordCodec<SatelliteConditions, kSatelliteConditionsFormat> {};

inline constexpr std::array kSnapshotLinkFields{
    required_field<&LinkDefinition::from_node>("fromNode"),
    required_field<&LinkDefinition::to>("to"),
    required_field<&LinkDefinition::distance_km>("distanceKm"),
    required_field<&LinkDefinition::base_fidelity>("baseFidelity"),
    required_field<&LinkDefinition::generation_rate_hz>("generationRateHz"),
    // Not a std::optional: absent keeps Fiber, null is a type error, and it
    // is always written.
    optional_field<&LinkDefinition::link_type>("linkType"),
    nullable_field<&LinkDefinition::satellite_conditions>("satelliteConditions"),
};
inline constexpr RecordFormat<LinkDefinition> kSnapshotLinkFormat{"LinkDefinition", kSnapshotLinkFields};
template <>
struct Codec<LinkDefinition> : RecordCodec<LinkDefinition, kSnapshotLinkFormat> {};

inline constexpr std::array kTopologyMetadataFields{
    required_field<&TopologyMetadata::name>("name"),
    required_field<&TopologyMetadata::version>("version"),
};
inline constexpr RecordFormat<TopologyMetadata> kTopologyMetadataFormat{"TopologyMetadata", kTopologyMetadataFields};
template <>
struct Codec<TopologyMetadata> : RecordCodec<TopologyMetadata, kTopologyMetadataFormat> {};

inline constexpr std::array kTopologyConfigFields{
    required_field<&TopologyConfig::alpha_loss>("alphaLoss"),
    required_field<&TopologyConfig::gamma_swapping>("gammaSwapping"),
};
inline constexpr RecordFormat<TopologyConfig> kTopologyConfigFormat{"TopologyConfig", kTopologyConfigFields};
template <>
struct Codec<TopologyConfig> : RecordCodec<TopologyConfig, kTopologyConfigFormat> {};

inline constexpr std::array kTopologySnapshotFields{
    required_field<&TopologySnapshot::metadata>("metadata"),
    required_field<&TopologySnapshot::nodes>("nodes"),
    required_field<&TopologySnapshot::links>("links"),
    required_field<&TopologySnapshot::config>("config"),
};
inline constexpr RecordFormat<TopologySnapshot> kTopologySnapshotFormat{"TopologySnapshot", kTopologySnapshotFields};

}  // namespace vorn::json

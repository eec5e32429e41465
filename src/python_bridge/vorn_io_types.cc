// Bindings of the network-file classes.
#include "formats/vorn_repr.h"
#include "files/load_file.h"
#include "files/save_file.h"
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/class_builder.h"
#include "python_bridge/file_path.h"
#include "python_bridge/signal_stop.h"
#include "python_bridge/vorn_objects.h"

namespace vorn::py {

namespace {

VornFileObject make_file(std::string name) {
    VornFileObject file;
    file.metadata.name = std::move(name);
    return file;
}

VornSatelliteExtension make_satellite(std::optional<double> visibility, std::optional<double> weather_factor) {
    return {visibility.value_or(1.0), weather_factor.value_or(1.0)};
}

double extension_effective_rate(const VornSatelliteExtension& satellite, double base_rate) {
    return base_rate * satellite.visibility * satellite.weather_factor;
}

bool constraints_equal(const VornConstraints& a, const VornConstraints& b) { return a == b; }

std::string link_id(const VornLink& link) { return link.id.value_or(""); }
void set_link_id(VornLink& link, std::string id) { link.id = std::move(id); }

std::string file_repr(const VornFileObject& file) {
    return vorn_file_repr(file.version, file.metadata.name, file.nodes.size(), file.links.size());
}

void add_node(VornFileObject& file, std::string id, std::optional<double> memory_lifetime_ms,
              std::optional<std::uint32_t> memory_capacity, std::optional<VornNodeType> node_type) {
    file.nodes.push_back({std::move(id), memory_lifetime_ms, memory_capacity, node_type});
}

void add_link(VornFileObject& file, std::string id, std::string src, std::string to, double distance_km,
              double base_fidelity, double generation_rate_hz, std::optional<VornLinkType> link_type,
              std::optional<VornSatelliteExtension> satellite) {
    file.links.push_back({std::move(id), std::move(src), std::move(to), distance_km, base_fidelity, generation_rate_hz,
                          link_type, satellite});
}

void save(const VornFileObject& file, FilePath filepath) {
    save_file(vorn_record_from_object(file), filepath.bytes, SignalStop());
}

}  // namespace

ClassTable& vorn_file_class() {
    static ClassTable& table =
        ClassBuilder<VornFileObject>("VornFile")
            .constructor<&make_file>({"name"})
            .field<&VornFileObject::version>("version")
            .field<&VornFileObject::metadata>("metadata")
            .field<&VornFileObject::nodes>("nodes")
            .field<&VornFileObject::links>("links")
            .field<&VornFileObject::config>("config")
            .field<&VornFileObject::constraints>("constraints")
            .field<&VornFileObject::extensions>("extensions")
            .python_references<&VornFileObject::extensions>()
            .method<&add_node>("add_node", {"id", "memory_lifetime_ms", "memory_capacity", "node_type"},
                               doc::kAddNodeDoc)
            .method<&add_link>(
                "add_link",
                {"id", "src", "to", "distance_km", "base_fidelity", "generation_rate_hz", "link_type", "satellite"},
                doc::kAddLinkDoc)
            .method<&save>("save", {"filepath"}, doc::kSaveDoc)
            .repr<&file_repr>()
            .done();
    return table;
}

ClassTable& vorn_node_class() {
    static ClassTable& table = ClassBuilder<VornNode>("VornNode")
                                   .init_field<&VornNode::id>("id")
                                   .optional_init_field<&VornNode::memory_lifetime_ms>("memory_lifetime_ms")
                                   .optional_init_field<&VornNode::memory_capacity>("memory_capacity")
                                   .optional_init_field<&VornNode::node_type>("node_type")
                                   .repr<&vorn_node_repr>()
                                   .done();
    return table;
}

ClassTable& vorn_link_class() {
    static ClassTable& table =
        ClassBuilder<VornLink>("VornLink")
            .constructor(
                {param<&VornLink::id>("id"), param<&VornLink::from>("src"), param<&VornLink::to>("to"),
                 param<&VornLink::distance_km>("distance_km"), param<&VornLink::base_fidelity>("base_fidelity"),
                 param<&VornLink::generation_rate_hz>("generation_rate_hz"),
                 optional_param<&VornLink::link_type>("link_type"), optional_param<&VornLink::satellite>("satellite")})
            .property<&link_id, &set_link_id>("id")
            .field<&VornLink::from>("src", doc::kSrcDoc)
            .field<&VornLink::to>("to")
            .field<&VornLink::distance_km>("distance_km")
            .field<&VornLink::base_fidelity>("base_fidelity")
            .field<&VornLink::generation_rate_hz>("generation_rate_hz")
            .field<&VornLink::link_type>("link_type")
            .field<&VornLink::satellite>("satellite")
            .repr<&vorn_link_repr>()
            .done();
    return table;
}

ClassTable& vorn_config_class() {
    static ClassTable& table = ClassBuilder<VornConfig>("VornConfig")
                                   .optional_init_field<&VornConfig::alpha_loss>("alpha_loss")
                                   .optional_init_field<&VornConfig::beta_fidelity_decay>("beta_fidelity_decay")
                                   .optional_init_field<&VornConfig::gamma_swapping>("gamma_swapping")
                                   .optional_init_field<&VornConfig::max_attempts>("max_attempts")
                                   .repr<&vorn_config_repr>()
                                   .done();
    return table;
}

ClassTable& vorn_constraints_class() {
    static ClassTable& table = ClassBuilder<VornConstraints>("VornConstraints")
                                   .optional_init_field<&VornConstraints::fidelity_target>("fidelity_target")
                                   .optional_init_field<&VornConstraints::max_latency_ms>("max_latency_ms")
                                   .repr<&vorn_constraints_repr>()
                                   .equality<&constraints_equal>()
                                   .done();
    return table;
}

ClassTable& vorn_metadata_class() {
    static ClassTable& table = ClassBuilder<VornMetadata>("VornMetadata")
                                   .init_field<&VornMetadata::name>("name")
                                   .optional_init_field<&VornMetadata::description>("description")
                                   .optional_init_field<&VornMetadata::author>("author")
                                   .optional_init_field<&VornMetadata::created_at>("created_at")
                                   .repr<&vorn_metadata_repr>()
                                   .done();
    return table;
}

ClassTable& vorn_node_type_class() {
    static ClassTable& table = ClassBuilder<VornNodeType>("VornNodeType")
                                   .members({{"Ground", VornNodeType::Ground},
                                             {"Satellite", VornNodeType::Satellite},
                                             {"Repeater", VornNodeType::Repeater}})
                                   .done();
    return table;
}

ClassTable& vorn_link_type_class() {
    static ClassTable& table = ClassBuilder<VornLinkType>("VornLinkType")
                                   .members({{"Fiber", VornLinkType::Fiber}, {"Satellite", VornLinkType::Satellite}})
                                   .done();
    return table;
}

ClassTable& vorn_satellite_extension_class() {
    static ClassTable& table =
        ClassBuilder<VornSatelliteExtension>("VornSatelliteExtension")
            .constructor<&make_satellite>({"visibility", "weather_factor"})
            .field<&VornSatelliteExtension::visibility>("visibility")
            .field<&VornSatelliteExtension::weather_factor>("weather_factor")
            .method<&extension_effective_rate>("effective_rate", {"base_rate"}, doc::kEffectiveRateDoc)
            .done();
    return table;
}

}  // namespace vorn::py

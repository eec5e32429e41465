// Bindings of topology snapshots: the snapshot classes (reached only as
// objects) and the save, load and diff functions.
#include "files/topology_diff.h"
#include "files/topology_snapshot.h"
#include "python_bridge/bindings.h"
#include "python_bridge/class_builder.h"
#include "python_bridge/file_path.h"
#include "python_bridge/signal_stop.h"

namespace vorn::py {

namespace {

void save_topology_function(const Engine& engine, FilePath filepath) {
    save_topology(engine, filepath.bytes, SignalStop());
}
void load_topology_function(Engine& engine, FilePath filepath) { load_topology(engine, filepath.bytes, SignalStop()); }
TopologyDiff diff_topologies_function(const TopologySnapshot& snapshot1, const TopologySnapshot& snapshot2) {
    return diff_topologies(snapshot1, snapshot2);
}

}  // namespace

ClassTable& topology_snapshot_class() {
    static ClassTable& table = ClassBuilder<TopologySnapshot>("TopologySnapshot")
                                   .field<&TopologySnapshot::metadata>("metadata")
                                   .field<&TopologySnapshot::nodes>("nodes")
                                   .field<&TopologySnapshot::links>("links")
                                   .field<&TopologySnapshot::config>("config")
                                   .done();
    return table;
}

ClassTable& topology_metadata_class() {
    static ClassTable& table = ClassBuilder<TopologyMetadata>("TopologyMetadata")
                                   .field<&TopologyMetadata::name>("name")
                                   .field<&TopologyMetadata::version>("version")
                                   .done();
    return table;
}

ClassTable& topology_config_class() {
    static ClassTable& table = ClassBuilder<TopologyConfig>("TopologyConfig")
                                   .field<&TopologyConfig::alpha_loss>("alpha_loss")
                                   .field<&TopologyConfig::gamma_swapping>("gamma_swapping")
                                   .done();
    return table;
}

ClassTable& topology_diff_class() {
    static ClassTable& table = ClassBuilder<TopologyDiff>("TopologyDiff")
                                   .field<&TopologyDiff::name>("name")
                                   .field<&TopologyDiff::nodes_added>("nodes_added")
                                   .field<&TopologyDiff::nodes_removed>("nodes_removed")
                                   .field<&TopologyDiff::nodes_modified>("nodes_modified")
                                   .field<&TopologyDiff::links_added>("links_added")
                                   .field<&TopologyDiff::links_removed>("links_removed")
                                   .field<&TopologyDiff::links_modified>("links_modified")
                                   .field<&TopologyDiff::summary>("summary")
                                   .done();
    return table;
}

FunctionTable save_topology_entry() {
    return make_function<&save_topology_function>("save_topology", {"engine", "filepath"});
}
FunctionTable load_topology_entry() {
    return make_function<&load_topology_function>("load_topology", {"engine", "filepath"});
}
FunctionTable diff_topologies_entry() {
    return make_function<&diff_topologies_function>("diff_topologies", {"snapshot1", "snapshot2"});
}

}  // namespace vorn::py

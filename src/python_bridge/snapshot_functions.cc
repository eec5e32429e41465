// Module functions that hand topology snapshots to Python as objects: the
// snapshot of an engine's network, and the snapshot stored in a file.
#include "files/topology_snapshot.h"
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/file_path.h"
#include "python_bridge/function_builder.h"
#include "python_bridge/signal_stop.h"

namespace vorn::py {

namespace {

TopologySnapshot read_topology_function(FilePath filepath) { return read_topology(filepath.bytes, SignalStop()); }
TopologySnapshot snapshot_topology_function(const Engine& engine) { return snapshot_from_engine(engine); }

}  // namespace

FunctionTable read_topology_entry() {
    return make_function<&read_topology_function>("read_topology", {"filepath"}, doc::kReadTopologyDoc);
}

FunctionTable snapshot_topology_entry() {
    return make_function<&snapshot_topology_function>("snapshot_topology", {"engine"}, doc::kSnapshotTopologyDoc);
}

}  // namespace vorn::py

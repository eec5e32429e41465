#include "files/snapshot_json_writer.h"

#include "files/snapshot_json_format.h"

namespace vorn {

std::string snapshot_json_text(const TopologySnapshot& snapshot, const StopCheck& stop) {
    return json::write_record_text(json::kTopologySnapshotFormat, snapshot, stop);
}

}  // namespace vorn

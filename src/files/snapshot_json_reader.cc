#include "files/snapshot_json_reader.h"

#include "files/snapshot_json_format.h"

namespace vorn {

TopologySnapshot parse_snapshot_text(std::string_view text, const StopCheck& stop) {
    return json::parse_record_text(text, json::kTopologySnapshotFormat, stop);
}

}  // namespace vorn

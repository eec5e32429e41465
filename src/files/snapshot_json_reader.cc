#include "files/snapshot_json_reader.h"

#include "files/snapshot_json_format.h"

namespace vorn {

TopologySnapshot parse_snapshot_text(std::string_view text) {
    return json::parse_record_text(text, json::kTopologySnapshotFormat);
}

}  // namespace vorn

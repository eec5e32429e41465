// The fixed validation rules of a network file: duplicate node ids, link
// checks and connectivity.
#pragma once

#include "formats/vorn_records.h"
#include "common/stop_check.h"
#include "files/validation_report.h"

namespace vorn {

// Runs the three checks in order (duplicate ids, links, connectivity) and
// collects their errors in that order. Nothing but node ids and the link
// fields from, to, distance_km, base_fidelity and generation_rate_hz is read.
// Polls the stop check once per node and link visited (Stopped).
ValidationReport validate_file(const VornFile& file, const StopCheck& stop = never_stop());

}  // namespace vorn

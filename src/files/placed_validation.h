// The validation of a network file together with where in the file's text
// each finding is, for tools that point at lines (the command line's
// validate).
#pragma once

#include <string_view>
#include <vector>

#include "common/stop_check.h"
#include "formats/json_error.h"
#include "formats/vorn_reader.h"
#include "files/validation_report.h"

namespace vorn {

struct PlacedValidation {
    ValidationReport report;
    // One per entry of report.errors, in the same order (see position_of).
    std::vector<TextPosition> positions;
};

// Where a finding of a file read with these places is: the first character
// of the record it is about, or of the "nodes" list for a finding about the
// whole network.
TextPosition position_of(const ValidationIssue& issue, const VornFilePlaces& places);

// read_vorn_file (filling places), then validate_file. Throws LoadError,
// whose position() is known for parse and version failures, or Stopped.
PlacedValidation validate_file_placed(std::string_view path, const StopCheck& stop = never_stop());

}  // namespace vorn

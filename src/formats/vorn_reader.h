// Reading a .vorn document into a VornFile record.
#pragma once

#include <string_view>

#include "formats/json_error.h"
#include "formats/vorn_records.h"
#include "common/stop_check.h"

namespace vorn {

// Reads the text of a whole document. Any byte sequence is accepted as input;
// problems are thrown as JsonError (see json_reader.h and json_records.h for
// the messages and where they are placed) and no partial record survives.
// A stop throws Stopped.
VornFile parse_file_text(std::string_view text, const StopCheck& stop = never_stop());

}  // namespace vorn

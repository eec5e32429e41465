// Reading a .vorn document into a VornFile record, and where its records
// start in the text for tools that point at them.
#pragma once

#include <string_view>
#include <vector>

#include "formats/json_error.h"
#include "formats/vorn_records.h"
#include "common/stop_check.h"

namespace vorn {

// Reads the text of a whole document. Any byte sequence is accepted as input;
// problems are thrown as JsonError (see json_reader.h and json_records.h for
// the messages and where they are placed) and no partial record survives.
// A stop throws Stopped.
VornFile parse_file_text(std::string_view text, const StopCheck& stop = never_stop());

// The place of the first character (line from 1, column from 1) of the
// version's value, of the "nodes" list and of each node and link record, by
// index, in a document that was read whole.
struct VornFilePlaces {
    TextPosition version;
    TextPosition nodes;
    std::vector<TextPosition> node_records;
    std::vector<TextPosition> link_records;
};

// parse_file_text, also filling `places` (left unspecified when reading fails).
VornFile parse_file_text(std::string_view text, VornFilePlaces& places, const StopCheck& stop = never_stop());

}  // namespace vorn

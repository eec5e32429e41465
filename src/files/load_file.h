// Turning a path into a network file record: read, parse and version check,
// and the loading that also applies the validation rules.
#pragma once

#include <string_view>

#include "formats/vorn_reader.h"
#include "formats/vorn_records.h"
#include "common/stop_check.h"
#include "files/load_error.h"

namespace vorn {

// Reads the file as UTF-8 text, parses it and requires version "1.0", in that
// order; the first failing step decides the LoadError kind (Io, Json,
// UnsupportedVersion). The validation rules are not applied (validate_file in
// validation.h gives their report). Throws LoadError, or Stopped when the
// stop check asks the reading or parsing to end.
VornFile read_vorn_file(std::string_view path, const StopCheck& stop = never_stop());
// read_vorn_file, also filling `places` with where the records start. The
// LoadError of a parse or version failure then knows its position() (a
// parse failure's is known without places too).
VornFile read_vorn_file(std::string_view path, VornFilePlaces& places, const StopCheck& stop = never_stop());

// read_vorn_file, then the validation rules: a file that breaks any throws
// LoadError of the Validation kind, carrying the report. Throws LoadError or
// Stopped.
VornFile load_file(std::string_view path, const StopCheck& stop = never_stop());

}  // namespace vorn

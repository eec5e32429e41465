// Turning a path into a validated network file record.
#pragma once

#include <string_view>

#include "api/vorn_records.h"
#include "files/load_error.h"

namespace vorn {

// Reads the file as UTF-8 text, parses it, requires version "1.0" and runs
// the validation rules, in that order; the first failing step decides the
// LoadError kind (Io, Json, UnsupportedVersion, Validation). Throws LoadError.
VornFile load_file(std::string_view path);

}  // namespace vorn

// Writing a network file record to a path.
#pragma once

#include <string_view>

#include "api/vorn_records.h"
#include "files/load_error.h"

namespace vorn {

// Serialises the record with the file writer and writes it to the path,
// creating or truncating the file. Throws LoadError: Io when the file cannot
// be written, Json when serialisation fails. Its text form is the whole
// message of a failed save (no "Failed to load" prefix).
void save_file(const VornFile& file, std::string_view path);

}  // namespace vorn

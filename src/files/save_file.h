// Writing a network file record to a path.
#pragma once

#include <string_view>

#include "formats/vorn_records.h"
#include "common/stop_check.h"
#include "files/load_error.h"

namespace vorn {

// Serialises the record with the file writer and writes it to the path,
// replacing the file whole (a failure leaves any previous file intact).
// Throws LoadError: Io when the file cannot be written, Json when
// serialisation fails (a NaN or infinity in a real member included), in
// which case no file is touched. Its text form is the whole
// message of a failed save (no "Failed to load" prefix). A stop (Stopped)
// during the serialisation or the write leaves any previous file intact.
void save_file(const VornFile& file, std::string_view path, const StopCheck& stop = never_stop());

}  // namespace vorn

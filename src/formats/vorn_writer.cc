#include "formats/vorn_writer.h"

#include "formats/vorn_format.h"

namespace vorn {

std::string write_file_text(const VornFile& file) { return json::write_record_text(json::kVornFileFormat, file); }

}  // namespace vorn

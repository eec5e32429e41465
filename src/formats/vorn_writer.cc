#include "formats/vorn_writer.h"

#include "formats/vorn_format.h"

namespace vorn {

std::string write_file_text(const VornFile& file, const StopCheck& stop) {
    return json::write_record_text(json::kVornFileFormat, file, stop);
}

}  // namespace vorn

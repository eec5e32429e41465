#include "formats/vorn_reader.h"

#include "formats/vorn_format.h"

namespace vorn {

VornFile parse_file_text(std::string_view text, const StopCheck& stop) {
    return json::parse_record_text(text, json::kVornFileFormat, stop);
}

}  // namespace vorn

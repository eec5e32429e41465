// Writing a VornFile record as a .vorn document: pretty-printed as
// json_writer.h describes, members in declaration order, members that are
// not given left out (a config with nothing given is "config": {}), the
// "custom" value written back as its value tree (where a non-finite float is
// null). A NaN or infinity in a typed real member throws NonFiniteMemberError.
#pragma once

#include <string>

#include "formats/vorn_records.h"
#include "common/stop_check.h"

namespace vorn {

// A stop throws Stopped.
std::string write_file_text(const VornFile& file, const StopCheck& stop = never_stop());

}  // namespace vorn

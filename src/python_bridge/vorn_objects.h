// The Python-side form of a network file: the file record's members, with
// `extensions` held as any Python object, and its conversions to and from
// the record that the reader and writer work on.
#pragma once

#include <string>
#include <vector>

#include "formats/vorn_records.h"
#include "python_bridge/py_ref.h"

namespace vorn::py {

struct VornFileObject {
    std::string version = "1.0";
    VornMetadata metadata;
    std::vector<VornNode> nodes;
    std::vector<VornLink> links;
    std::optional<VornConfig> config;
    std::optional<VornConstraints> constraints;
    Ref extensions;  // None (null) or any object; written when it is a dict
};

// A loaded record as an object: links without an id get the empty id, and
// `extensions` mirrors the file's "extensions" member ({"custom": value},
// {} without "custom", None without the member).
VornFileObject vorn_object_from_record(VornFile record);
// The record to write. The extensions are converted first, so a value that
// is not JSON data fails before any file is touched (LoadError, Json kind).
VornFile vorn_record_from_object(const VornFileObject& object);
// The record without its extensions, for the engine bridge.
VornFile vorn_network_record(const VornFileObject& object);

}  // namespace vorn::py

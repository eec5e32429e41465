// A valid network file record of `count` nodes joined in a chain, for tests
// that need a large document.
#pragma once

#include <cstddef>
#include <string>

#include "formats/vorn_records.h"

namespace vorn::test_support {

inline VornFile chain_file(std::size_t count) {
    VornFile file;
    file.version = "1.0";
    file.metadata.name = "chain";
    for (std::size_t i = 0; i < count; ++i) {
        file.nodes.push_back({"n" + std::to_string(i), 100.0, std::nullopt, std::nullopt});
        if (i > 0) {
            file.links.push_back({"L" + std::to_string(i), "n" + std::to_string(i - 1), "n" + std::to_string(i), 10.0,
                                  0.9, 100.0, std::nullopt, std::nullopt});
        }
    }
    return file;
}

}  // namespace vorn::test_support

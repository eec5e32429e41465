// The keys that one diff found added, removed and modified, for nodes and
// for links; each list in the order in which its keys first appear.
#pragma once

#include <string>
#include <vector>

namespace vorn {

struct ChangeLists {
    std::vector<std::string> nodes_added;
    std::vector<std::string> nodes_removed;
    std::vector<std::string> nodes_modified;
    std::vector<std::string> links_added;
    std::vector<std::string> links_removed;
    std::vector<std::string> links_modified;
};

}  // namespace vorn

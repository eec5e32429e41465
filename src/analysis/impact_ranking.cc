#include "analysis/impact_ranking.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace vorn {

void sort_impacts_descending(std::vector<NamedImpact>& impacts) {
    const auto larger = [](const NamedImpact& a, const NamedImpact& b) { return a.second > b.second; };
    auto begin = impacts.begin();
    const auto end = impacts.end();
    while (begin != end) {
        const auto stop = std::find_if(begin, end, [](const NamedImpact& entry) { return std::isnan(entry.second); });
        // Within a stretch free of NaN, `larger` is a strict weak ordering.
        std::stable_sort(begin, stop, larger);
        begin = stop == end ? end : stop + 1;
    }
}

std::vector<NamedImpact> merge_equal_names(const std::vector<NamedImpact>& impacts) {
    std::vector<NamedImpact> merged;
    merged.reserve(impacts.size());
    std::unordered_map<std::string, std::size_t> position;
    position.reserve(impacts.size());
    for (const NamedImpact& entry : impacts) {
        auto [it, inserted] = position.try_emplace(entry.first, merged.size());
        if (inserted) {
            merged.push_back(entry);
        } else {
            merged[it->second].second = entry.second;
        }
    }
    return merged;
}

}  // namespace vorn

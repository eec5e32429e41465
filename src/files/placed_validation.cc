#include "files/placed_validation.h"

#include "files/load_file.h"
#include "files/validation.h"

namespace vorn {

TextPosition position_of(const ValidationIssue& issue, const VornFilePlaces& places) {
    switch (records_of(issue.kind)) {
        case IssueRecords::Nodes: return places.node_records.at(issue.record.value());
        case IssueRecords::Links: return places.link_records.at(issue.record.value());
        case IssueRecords::None: break;
    }
    return places.nodes;
}

PlacedValidation validate_file_placed(std::string_view path, const StopCheck& stop) {
    VornFilePlaces places;
    const VornFile file = read_vorn_file(path, places, stop);
    PlacedValidation placed{validate_file(file, stop), {}};
    placed.positions.reserve(placed.report.errors.size());
    for (const ValidationIssue& issue : placed.report.errors) placed.positions.push_back(position_of(issue, places));
    return placed;
}

}  // namespace vorn

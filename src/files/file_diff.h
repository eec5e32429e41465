// Comparison of two network files: nodes and links added, removed and
// modified, and changes of version, metadata, config, constraints and
// extensions, with a summary text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/vorn_records.h"
#include "common/stop_check.h"
#include "files/change_lists.h"

namespace vorn {

template <class T>
struct ValueChange {
    T old_value;
    T new_value;
};

struct MetadataChange {
    std::optional<ValueChange<std::string>> name;  // when the names differ
};

struct ConfigChange {
    std::optional<ValueChange<std::optional<double>>> alpha_loss;  // when alpha_loss differs
};

struct ConstraintsChange {
    std::optional<ValueChange<std::optional<double>>> fidelity_target;  // when fidelity_target differs
};

struct FileDiff : ChangeLists {
    std::string summary;
    std::optional<ValueChange<std::string>> version_change;
    std::optional<MetadataChange> metadata_change;
    std::optional<ConfigChange> config_change;
    std::optional<ConstraintsChange> constraints_change;
    bool extensions_changed = false;
};

// Compares file2 against file1 (old = file1). Nodes are keyed by id and links
// by "from->to", a later entry with the same key replacing an earlier one;
// lists follow the order in which keys first appear in their file. The paths
// only appear in the summary's first line. Polls the stop check once per
// node and link (Stopped).
FileDiff diff_files(std::string_view path1, std::string_view path2, const VornFile& file1, const VornFile& file2,
                    const StopCheck& stop = never_stop());

// Loads both files (file1 first) and compares them. When a file fails to
// load, `error` holds "Failed to load <path>: <text>" for the first failing
// file and `diff` is empty.
struct FileDiffOutcome {
    std::optional<FileDiff> diff;
    std::optional<std::string> error;
};
// A stop (Stopped) ends the loading or the comparison.
FileDiffOutcome diff_file_paths(std::string_view path1, std::string_view path2, const StopCheck& stop = never_stop());

}  // namespace vorn

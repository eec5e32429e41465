#include "files/file_diff.h"

#include "formats/number_text.h"
#include "files/keyed_index.h"
#include "files/load_file.h"

namespace vorn {

namespace {

// Records compare member-wise with their operator== (absent optionals equal
// only absent ones; a NaN is never equal).

// Links are keyed by "from->to", so the endpoints belong to the key, not to
// the comparison: two spellings of one key (from "a->b" to "c", from "a" to
// "b->c") are the same link, modified only when the other members differ.
bool links_differ(const VornLink& a, const VornLink& b) {
    return a.distance_km != b.distance_km || a.base_fidelity != b.base_fidelity ||
           a.generation_rate_hz != b.generation_rate_hz || a.id != b.id || a.link_type != b.link_type ||
           a.satellite != b.satellite;
}

std::optional<MetadataChange> metadata_change(const VornMetadata& old_meta, const VornMetadata& new_meta) {
    if (old_meta == new_meta) return std::nullopt;
    MetadataChange change;
    if (old_meta.name != new_meta.name) change.name = ValueChange<std::string>{old_meta.name, new_meta.name};
    return change;
}

// The shared scheme of config and constraints: one side present gives a
// change whose pair takes the present side's value (given or not) against
// nothing; both present give a change only when some field differs, with the
// pair only when the paired field differs.
template <class Record, class Change, class Field>
std::optional<Change> section_change(const std::optional<Record>& old_rec, const std::optional<Record>& new_rec,
                                     Field field, std::optional<ValueChange<std::optional<double>>> Change::* pair) {
    if (!old_rec && !new_rec) return std::nullopt;
    Change change;
    if (!old_rec || !new_rec) {
        change.*pair = ValueChange<std::optional<double>>{old_rec ? field(*old_rec) : std::nullopt,
                                                          new_rec ? field(*new_rec) : std::nullopt};
        return change;
    }
    if (*old_rec == *new_rec) return std::nullopt;
    if (field(*old_rec) != field(*new_rec)) {
        change.*pair = ValueChange<std::optional<double>>{field(*old_rec), field(*new_rec)};
    }
    return change;
}

KeyedIndex<VornNode> index_nodes(const std::vector<VornNode>& nodes, const StopCheck& stop) {
    return index_by(nodes, [](const VornNode& node) { return node.id; }, stop);
}

KeyedIndex<VornLink> index_links(const std::vector<VornLink>& links, const StopCheck& stop) {
    return index_by(links, [](const VornLink& link) { return link_key(link.from, link.to); }, stop);
}

// "None", or "Some(" and the float's debug form and ")".
std::string option_text(const std::optional<double>& value) {
    if (!value) return "None";
    return "Some(" + debug_number_text(*value) + ")";
}

void append_list(std::string& text, std::string_view heading, const std::vector<std::string>& entries,
                 const StopCheck& stop) {
    if (entries.empty()) return;
    text.append(heading).append(std::to_string(entries.size())).append(" (");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        stop.poll();
        if (i > 0) text.append(", ");
        text.append(entries[i]);
    }
    text.append(")\n");
}

void append_pair_line(std::string& text, std::string_view field, const ValueChange<std::optional<double>>& change) {
    text.append("     - ").append(field).append(": ").append(option_text(change.old_value));
    text.append(" -> ").append(option_text(change.new_value)).append("\n");
}

std::string summary_text(std::string_view path1, std::string_view path2, const FileDiff& diff, const StopCheck& stop) {
    std::string text = "Diff between '";
    text.append(path1).append("' and '").append(path2).append("':\n");
    if (diff.version_change) {
        text.append("  Version: ").append(diff.version_change->old_value).append(" -> ");
        text.append(diff.version_change->new_value).append("\n");
    }
    if (diff.metadata_change) {
        text.append("  Metadata changes:\n");
        if (const auto& name = diff.metadata_change->name) {
            text.append("     - name: '").append(name->old_value).append("' -> '");
            text.append(name->new_value).append("'\n");
        }
    }
    append_list(text, "  Nodes added: ", diff.nodes_added, stop);
    append_list(text, "  Nodes removed: ", diff.nodes_removed, stop);
    append_list(text, "  Nodes modified: ", diff.nodes_modified, stop);
    append_list(text, "  Links added: ", diff.links_added, stop);
    append_list(text, "  Links removed: ", diff.links_removed, stop);
    append_list(text, "  Links modified: ", diff.links_modified, stop);
    if (diff.config_change) {
        text.append("  Config changes:\n");
        if (diff.config_change->alpha_loss) append_pair_line(text, "alpha_loss", *diff.config_change->alpha_loss);
    }
    if (diff.constraints_change) {
        text.append("  Constraints changes:\n");
        if (diff.constraints_change->fidelity_target) {
            append_pair_line(text, "fidelity_target", *diff.constraints_change->fidelity_target);
        }
    }
    if (diff.extensions_changed) text.append("  Extensions changed\n");
    return text;
}

}  // namespace

FileDiff diff_files(std::string_view path1, std::string_view path2, const VornFile& file1, const VornFile& file2,
                    const StopCheck& stop) {
    FileDiff diff;
    if (file1.version != file2.version) diff.version_change = ValueChange<std::string>{file1.version, file2.version};
    diff.metadata_change = metadata_change(file1.metadata, file2.metadata);
    diff.config_change = section_change<VornConfig, ConfigChange>(
        file1.config, file2.config, [](const VornConfig& c) { return c.alpha_loss; }, &ConfigChange::alpha_loss);
    diff.constraints_change = section_change<VornConstraints, ConstraintsChange>(
        file1.constraints, file2.constraints, [](const VornConstraints& c) { return c.fidelity_target; },
        &ConstraintsChange::fidelity_target);
    diff.extensions_changed = file1.extensions != file2.extensions;
    // Nodes are keyed by id, so member-wise inequality is a change of the other members.
    compare_indexes(
        index_nodes(file1.nodes, stop), index_nodes(file2.nodes, stop),
        [](const VornNode& a, const VornNode& b) { return a != b; }, diff.nodes_added, diff.nodes_removed,
        diff.nodes_modified, stop);
    compare_indexes(index_links(file1.links, stop), index_links(file2.links, stop), links_differ, diff.links_added,
                    diff.links_removed, diff.links_modified, stop);
    diff.summary = summary_text(path1, path2, diff, stop);
    return diff;
}

FileDiffOutcome diff_file_paths(std::string_view path1, std::string_view path2, const StopCheck& stop) {
    std::optional<VornFile> file1, file2;
    try {
        file1 = load_file(path1, stop);
    } catch (const LoadError& error) {
        return {std::nullopt, failed_to_load_message(path1, error)};
    }
    try {
        file2 = load_file(path2, stop);
    } catch (const LoadError& error) {
        return {std::nullopt, failed_to_load_message(path2, error)};
    }
    return {diff_files(path1, path2, *file1, *file2, stop), std::nullopt};
}

}  // namespace vorn

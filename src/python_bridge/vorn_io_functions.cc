// Module functions over network files: load, validate, diff, save and the
// engine built from a file.
#include "files/file_diff.h"
#include "files/load_error.h"
#include "files/load_file.h"
#include "files/placed_validation.h"
#include "files/save_file.h"
#include "files/validation.h"
#include "files/vorn_engine_bridge.h"
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/dict_builder.h"
#include "python_bridge/file_path.h"
#include "python_bridge/function_builder.h"
#include "python_bridge/signal_stop.h"
#include "python_bridge/vorn_objects.h"

namespace vorn::py {

namespace {

[[noreturn]] void fail_to_load(const std::string& path, const LoadError& error) {
    throw OperationError(failed_to_load_message(path, error));
}

VornFileObject load_vorn_file(FilePath filepath) {
    try {
        return vorn_object_from_record(load_file(filepath.bytes, SignalStop()));
    } catch (const LoadError& error) {
        fail_to_load(filepath.bytes, error);
    }
}

// The dict of `validate`; with `positions` (one per error), each error dict
// also gets the record it is about and where that is in the file.
DictBuilder validation_dict(const FilePath& filepath, const ValidationReport& report,
                            const std::vector<TextPosition>* positions = nullptr) {
    Ref errors = Ref::steal(PyList_New(0));
    Ref warnings = Ref::steal(PyList_New(0));
    if (!errors || !warnings) throw ErrorAlreadySet{};
    for (std::size_t i = 0; i < report.errors.size(); ++i) {
        const ValidationIssue& issue = report.errors[i];
        DictBuilder entry;
        entry.set("type", issue.type_text()).set("message", issue.message());
        if (issue.path) entry.set("path", *issue.path);
        if (positions) {
            const TextPosition& where = positions->at(i);
            entry.set("record", issue.record).set("line", where.line).set("column", where.column);
        }
        if (PyList_Append(errors.get(), entry.take().get()) < 0) throw ErrorAlreadySet{};
    }
    for (const ValidationWarning& warning : report.warnings) {
        DictBuilder entry;
        entry.set("message", warning.message);
        if (warning.path) entry.set("path", *warning.path);
        if (PyList_Append(warnings.get(), entry.take().get()) < 0) throw ErrorAlreadySet{};
    }
    DictBuilder result;
    result.set("valid", report.valid).set("filepath", filepath).set("errors", errors).set("warnings", warnings);
    return result;
}

// A file that reads, parses and has version "1.0" gets its rule findings back
// in the dict; only read, parse and version failures raise.
Ref validate(FilePath filepath) {
    const SignalStop stop;
    VornFile file;
    try {
        file = read_vorn_file(filepath.bytes, stop);
    } catch (const LoadError& error) {
        fail_to_load(filepath.bytes, error);
    }
    return validation_dict(filepath, validate_file(file, stop)).take();
}

// `validate` with the place of each finding; a read, parse or version
// failure is returned as "load_error" (its text form and, when known, its
// place) instead of raised, so that one call tells a tool all it prints.
Ref validate_with_positions(FilePath filepath) {
    try {
        const PlacedValidation placed = validate_file_placed(filepath.bytes, SignalStop());
        return validation_dict(filepath, placed.report, &placed.positions)
            .set("load_error", Ref::borrow(Py_None))
            .take();
    } catch (const LoadError& error) {
        const std::optional<TextPosition> where = error.position();
        DictBuilder failure;
        failure.set("message", text_naming_paths(error.text()))
            .set("line", where ? std::optional(where->line) : std::nullopt)
            .set("column", where ? std::optional(where->column) : std::nullopt);
        return validation_dict(filepath, ValidationReport{false, {}, {}}).set("load_error", failure.take()).take();
    }
}

Ref diff(FilePath file1, FilePath file2) {
    FileDiffOutcome outcome = diff_file_paths(file1.bytes, file2.bytes, SignalStop());
    if (!outcome.diff) return DictBuilder().set("error", text_naming_paths(outcome.error.value_or(""))).take();
    const FileDiff& result = *outcome.diff;
    return DictBuilder()
        .set("summary", text_naming_paths(result.summary))
        .set("nodes_added", result.nodes_added)
        .set("nodes_removed", result.nodes_removed)
        .set("nodes_modified", result.nodes_modified)
        .set("links_added", result.links_added)
        .set("links_removed", result.links_removed)
        .set("links_modified", result.links_modified)
        .take();
}

Engine from_vorn_file(FilePath filepath) {
    try {
        return engine_from_vorn_file(filepath.bytes, SignalStop());
    } catch (const LoadError& error) {
        fail_to_load(filepath.bytes, error);
    }
}

void save_vorn_file_wrapper(const VornFileObject& qf, FilePath filepath) {
    save_file(vorn_record_from_object(qf), filepath.bytes, SignalStop());
}

}  // namespace

FunctionTable validate_entry() { return make_function<&validate>("validate", {"filepath"}, doc::kValidateDoc); }
FunctionTable validate_with_positions_entry() {
    return make_function<&validate_with_positions>("validate_with_positions", {"filepath"},
                                                   doc::kValidateWithPositionsDoc);
}
FunctionTable load_vorn_file_entry() {
    return make_function<&load_vorn_file>("load_vorn_file", {"filepath"}, doc::kLoadDoc);
}
FunctionTable diff_entry() { return make_function<&diff>("diff", {"file1", "file2"}); }
FunctionTable from_vorn_file_entry() {
    return make_function<&from_vorn_file>("from_vorn_file", {"filepath"}, doc::kFromFileDoc);
}
FunctionTable save_vorn_file_wrapper_entry() {
    return make_function<&save_vorn_file_wrapper>("save_vorn_file_wrapper", {"qf", "filepath"}, doc::kSaveWrapperDoc);
}

}  // namespace vorn::py

// Every Python-facing text of the binding layer, and the helpers that raise
// them. Texts are only built on the failure path.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "python_bridge/python_api.h"

namespace vorn::py::msg {

inline constexpr const char* kNoConstructor = "No constructor defined";
inline constexpr const char* kCantDeleteAttribute = "can't delete attribute";
inline constexpr const char* kStrToVec = "Can't extract `str` to `Vec`";
inline constexpr const char* kAlreadyBorrowed = "Already borrowed";
inline constexpr const char* kAlreadyMutablyBorrowed = "Already mutably borrowed";
inline constexpr const char* kIntegerOutOfRange = "out of range integral type conversion attempted";
inline constexpr const char* kSecondInitialisation = "vorn_core can only be initialized once per process";
inline constexpr const char* kUnknownCxxException = "unknown C++ exception";
// RecursionError of a call started (by a signal handler) inside too many running calls.
inline constexpr const char* kCallsNestTooDeep =
    "maximum nesting depth of vorn_core calls exceeded: a signal handler started a call while calls were running "
    "on this thread";

// Sentences after "JSON parse error: " when a file's extensions cannot be written.
inline constexpr const char* kExtensionsNotDict = "extensions must be a dict or None";
inline constexpr const char* kExtensionsKeys = "extensions may only hold the key \"custom\"";
inline constexpr const char* kJsonKeyNotStr = "a dict key inside custom is not a str";
inline constexpr const char* kJsonIntegerTooLarge = "an integer inside custom does not fit in 64 bits";
inline constexpr const char* kJsonTooDeep = "custom nests deeper than the 128 levels a file may hold";
inline constexpr const char* kJsonUnsupported = "a value of type '{type}' inside custom is not JSON data";

// Conversion targets named in "'x' object cannot be converted to 'Target'".
inline constexpr const char* kTargetString = "PyString";
inline constexpr const char* kTargetBool = "PyBool";
inline constexpr const char* kTargetDict = "PyDict";
inline constexpr const char* kTargetSequence = "Sequence";
inline constexpr const char* kTargetTuple = "PyTuple";

// The templates of the helpers below, whole; only the failure path fills them.
inline constexpr const char* kConversion = "'{given}' object cannot be converted to '{target}'";
inline constexpr const char* kTupleLength = "expected tuple of length {expected}, but got tuple of length {given}";
inline constexpr const char* kArgumentPrefix = "argument '{parameter}': {error}";
inline constexpr const char* kMissingArgument = "{callable}() missing 1 required positional argument: {names}";
inline constexpr const char* kMissingArguments = "{callable}() missing {count} required positional arguments: {names}";
inline constexpr const char* kUnexpectedKeyword = "{callable}() got an unexpected keyword argument '{keyword}'";
inline constexpr const char* kMultipleValues = "{callable}() got multiple values for argument '{parameter}'";
inline constexpr const char* kTooManyPositional = "{callable}() takes {takes} positional arguments but {given} given";
inline constexpr const char* kTakesRange = "from {required} to {total}";
inline constexpr const char* kGivenOne = "1 was";
inline constexpr const char* kGivenMany = "{count} were";

// "'int' object cannot be converted to 'PyString'" as a TypeError; returns false.
bool conversion_error(PyObject* given, std::string_view target);
// "expected tuple of length 2, but got tuple of length 3" as a ValueError.
bool tuple_length_error(std::size_t expected, Py_ssize_t given);
// Prefixes a pending TypeError with "argument 'name': "; other errors pass unchanged.
void prefix_argument_error(const char* parameter);

// Arity and keyword errors, worded like the interpreter's own. `callable`
// is the display name without "()", e.g. "VornEngine.simulate".
void missing_arguments(std::string_view callable, const std::vector<const char*>& names);
void unexpected_keyword(std::string_view callable, std::string_view keyword);
void multiple_values(std::string_view callable, std::string_view parameter);
void too_many_positional(std::string_view callable, std::size_t required, std::size_t total, std::size_t given);

}  // namespace vorn::py::msg

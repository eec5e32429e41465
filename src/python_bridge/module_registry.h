// The module's registration table: every class and function in the order in
// which the module adds them (and so the order of __all__), plus the classes
// that exist only as the types of returned objects.
#pragma once

#include <vector>

#include "python_bridge/class_table.h"
#include "python_bridge/function_builder.h"

namespace vorn::py {

struct ModuleEntry {
    // Unlisted: a function added to the module but not to __all__.
    enum class Kind { Class, HiddenClass, Function, Unlisted, Alias } kind;
    ClassTable& (*class_table)() = nullptr;  // Class, HiddenClass
    FunctionTable (*function)() = nullptr;  // Function
    const char* alias = nullptr;           // Alias: the new name
    const char* target = nullptr;          // Alias: the existing name
};

const std::vector<ModuleEntry>& module_entries();

// The function tables of the module, in entry order, as initialisation
// made them (they outlive the function objects that point into them).
std::vector<const FunctionTable*>& registered_functions();

}  // namespace vorn::py

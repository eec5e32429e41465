// The module's registration table: every class and function in the order in
// which the module adds them (and so the order of __all__), plus the classes
// that exist only as the types of returned objects.
#pragma once

#include <vector>

#include "python_bridge/class_table.h"
#include "python_bridge/function_builder.h"

namespace vorn::py {

struct ModuleEntry {
    enum class Kind { Class, HiddenClass, Function, Alias } kind;
    ClassTable& (*class_table)() = nullptr;  // Class, HiddenClass
    FunctionTable (*function)() = nullptr;  // Function
    const char* alias = nullptr;           // Alias: the new name
    const char* target = nullptr;          // Alias: the existing name
};

const std::vector<ModuleEntry>& module_entries();

}  // namespace vorn::py

// What the stub generator (tools/make_stubs.py) reads from the module: the
// Python type of every attribute, parameter and result, written by the
// conversions of their C++ types, and the classes that are reached only
// through returned objects.
#include <string>
#include <vector>

#include "python_bridge/bindings.h"
#include "python_bridge/error_funnel.h"
#include "python_bridge/module_registry.h"

namespace vorn::py {

namespace {

// "Class.attribute", "Class.method.parameter", "Class.method" (its result),
// "function.parameter" and "function" (its result), in registration order.
DictItems<std::string, std::string> python_types() {
    DictItems<std::string, std::string> types;
    for (const ModuleEntry& entry : module_entries()) {
        if (!entry.class_table) continue;
        const ClassTable& table = entry.class_table();
        for (const auto& [key, type] : table.python_types) types.items.emplace_back(table.name + "." + key, type());
    }
    for (const FunctionTable* function : registered_functions()) {
        for (const auto& [key, type] : function->python_types) types.items.emplace_back(key, type());
    }
    return types;
}

// The type objects of the hidden classes, in registration order (created
// here if nothing has needed them yet).
std::vector<Ref> hidden_classes() {
    std::vector<Ref> classes;
    for (const ModuleEntry& entry : module_entries()) {
        if (entry.kind != ModuleEntry::Kind::HiddenClass) continue;
        PyTypeObject* type = create_type(entry.class_table());
        if (!type) throw ErrorAlreadySet{};
        classes.push_back(Ref::borrow(reinterpret_cast<PyObject*>(type)));
    }
    return classes;
}

}  // namespace

FunctionTable python_types_entry() {
    return make_function<&python_types>("_python_types", {},
                                        "The Python type of each attribute, parameter and result.");
}

FunctionTable hidden_classes_entry() {
    return make_function<&hidden_classes>("_hidden_classes", {}, "The classes reached only through returned objects.");
}

}  // namespace vorn::py

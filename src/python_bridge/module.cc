// Module initialisation: creates `vorn_core`, adds the classes and functions
// of the registration table in order, and keeps __all__ in that order.
#include "python_bridge/error_funnel.h"
#include "python_bridge/messages.h"
#include "python_bridge/module_registry.h"
#include "python_bridge/py_ref.h"

namespace vorn::py {

namespace {

// m_size 0 (not -1): a re-import after removal from sys.modules calls the
// initialisation again, which then refuses with ImportError.
PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "vorn_core",
    "The top-level Python module registration.\n"
    "Classes and functions are added in a fixed order, mirrored by __all__.",
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

bool initialised = false;

bool add_named(PyObject* module, PyObject* all, const char* name, PyObject* object) {
    if (PyModule_AddObject(module, name, object) < 0) {
        Py_DECREF(object);
        return false;
    }
    Ref text = Ref::steal(PyUnicode_FromString(name));
    return text && PyList_Append(all, text.get()) == 0;
}

bool add_unlisted(PyObject* module, const char* name, PyObject* object) {
    if (PyModule_AddObject(module, name, object) < 0) {
        Py_DECREF(object);
        return false;
    }
    return true;
}

bool add_entry(PyObject* module, PyObject* all, const ModuleEntry& entry) {
    switch (entry.kind) {
        case ModuleEntry::Kind::HiddenClass:
            entry.class_table();  // registered; its type is created on first use
            return true;
        case ModuleEntry::Kind::Class: {
            ClassTable& table = entry.class_table();
            PyTypeObject* type = create_type(table);
            if (!type) return false;
            Py_INCREF(type);
            return add_named(module, all, table.name.c_str(), reinterpret_cast<PyObject*>(type));
        }
        case ModuleEntry::Kind::Function:
        case ModuleEntry::Kind::Unlisted: {
            // The method table entry must outlive the function object.
            auto* table = new FunctionTable(entry.function());
            registered_functions().push_back(table);
            Ref name = Ref::steal(PyUnicode_FromString("vorn_core"));
            PyObject* function = PyCFunction_NewEx(&table->def, module, name.get());
            if (entry.kind == ModuleEntry::Kind::Function) {
                return function && add_named(module, all, table->def.ml_name, function);
            }
            return function && add_unlisted(module, table->def.ml_name, function);
        }
        case ModuleEntry::Kind::Alias: {
            PyObject* target = PyObject_GetAttrString(module, entry.target);
            return target && add_named(module, all, entry.alias, target);
        }
    }
    return false;
}

PyObject* create_module() {
    if (initialised) {
        PyErr_SetString(PyExc_ImportError, msg::kSecondInitialisation);
        return nullptr;
    }
    initialised = true;
    if (!init_fault_class()) return nullptr;
    Ref module = Ref::steal(PyModule_Create(&module_definition));
    Ref all = Ref::steal(PyList_New(0));
    if (!module || !all) return nullptr;
    for (const ModuleEntry& entry : module_entries()) {
        if (!add_entry(module.get(), all.get(), entry)) return nullptr;
    }
    if (PyModule_AddObject(module.get(), "__all__", all.get()) < 0) return nullptr;
    all.release();
    return module.release();
}

}  // namespace

}  // namespace vorn::py

PyMODINIT_FUNC PyInit_vorn_core(void) {
    return vorn::py::guarded<PyObject*>(nullptr, [] { return vorn::py::create_module(); });
}

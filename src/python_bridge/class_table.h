// The static description of one Python class, filled by ClassBuilder, and the
// per-C++-type slot that finds its type object. Type objects are created once,
// on first need, and live for the process.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "python_bridge/python_api.h"

namespace vorn::py {

// Writes the Python type of one attribute, parameter or result (see
// python_type_of in convert.h), called once every class is registered.
using PythonTypeText = std::string (*)();

// (key, type) of each attribute ("attribute"), parameter ("method.parameter",
// "__new__.parameter") and result ("method") of a class, or of a function's
// parameters ("function.parameter") and result ("function").
using PythonTypes = std::vector<std::pair<std::string, PythonTypeText>>;

struct ClassTable {
    std::string name;  // as Python reports __name__, e.g. "NodeDefinition"
    int basicsize = 0;
    unsigned int flags = Py_TPFLAGS_DEFAULT;
    std::vector<PyType_Slot> slots;  // tp_new, tp_dealloc, tp_repr, ... (without getset/methods/doc)
    std::vector<PyGetSetDef> getset;
    std::vector<PyMethodDef> methods;
    // Class attributes (members of enumeration-like classes), created with the type.
    std::vector<std::pair<const char*, std::function<PyObject*(PyTypeObject*)>>> class_attributes;
    std::string doc;
    PythonTypes python_types;
    PyTypeObject** type = nullptr;  // where the created type object is kept
    // Stable storage for texts that the definitions above point into.
    std::deque<std::string> texts;

    const char* keep(std::string text) { return texts.emplace_back(std::move(text)).c_str(); }
};

// Creates the type object of `table` (once) and returns a borrowed reference,
// or null with a Python error set.
PyTypeObject* create_type(ClassTable& table);

template <class T>
struct TypeSlot {
    static inline PyTypeObject* type = nullptr;
    static inline ClassTable* table = nullptr;
};

// The type object bound to T, created on first need. Throws ErrorAlreadySet.
template <class T>
PyTypeObject* type_object();

}  // namespace vorn::py

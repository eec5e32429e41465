#include "python_bridge/class_table.h"

#include "python_bridge/py_ref.h"

namespace vorn::py {

PyTypeObject* create_type(ClassTable& table) {
    if (*table.type) return *table.type;
    std::vector<PyType_Slot> slots = table.slots;
    std::vector<PyGetSetDef> getset = table.getset;
    getset.push_back({nullptr, nullptr, nullptr, nullptr, nullptr});
    std::vector<PyMethodDef> methods = table.methods;
    methods.push_back({nullptr, nullptr, 0, nullptr});
    // The interpreter copies tp_doc; getset and method tables must outlive the type.
    auto* kept_getset = new std::vector<PyGetSetDef>(std::move(getset));
    auto* kept_methods = new std::vector<PyMethodDef>(std::move(methods));
    slots.push_back({Py_tp_getset, kept_getset->data()});
    slots.push_back({Py_tp_methods, kept_methods->data()});
    slots.push_back({Py_tp_doc, const_cast<char*>(table.doc.c_str())});
    slots.push_back({0, nullptr});
    // A dotted type name gives the class its __module__ without a warning;
    // "builtins" keeps the name unprefixed in reprs and signatures.
    const char* qualified = table.keep("builtins." + table.name);
    PyType_Spec type_spec{qualified, table.basicsize, 0, table.flags, slots.data()};
    PyObject* type = PyType_FromSpec(&type_spec);
    if (!type) return nullptr;
    for (auto& [name, make] : table.class_attributes) {
        Ref member = Ref::steal(make(reinterpret_cast<PyTypeObject*>(type)));
        if (!member || PyObject_SetAttrString(type, name, member.get()) < 0) {
            Py_DECREF(type);
            return nullptr;
        }
    }
    *table.type = reinterpret_cast<PyTypeObject*>(type);
    return *table.type;
}

}  // namespace vorn::py

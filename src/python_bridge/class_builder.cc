#include "python_bridge/class_builder.h"

namespace vorn::py {

PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError, msg::kNoConstructor);
    return nullptr;
}

int refuse_delete(PyObject*) {
    PyErr_SetString(PyExc_AttributeError, msg::kCantDeleteAttribute);
    return -1;
}

}  // namespace vorn::py

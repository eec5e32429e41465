#include "python_bridge/messages.h"

#include "python_bridge/py_ref.h"

namespace vorn::py::msg {

namespace {

std::string type_name(PyObject* object) {
    Ref name = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
    if (name && PyUnicode_Check(name.get())) {
        Py_ssize_t size = 0;
        if (const char* text = PyUnicode_AsUTF8AndSize(name.get(), &size)) return std::string(text, size);
    }
    PyErr_Clear();
    return "object";
}

void type_error(const std::string& text) { PyErr_SetString(PyExc_TypeError, text.c_str()); }

std::string quoted(std::string_view name) { return "'" + std::string(name) + "'"; }

}  // namespace

bool conversion_error(PyObject* given, std::string_view target) {
    std::string text = "'";
    text += type_name(given);
    text += "' object cannot be converted to '";
    text += target;
    text += "'";
    type_error(text);
    return false;
}

bool tuple_length_error(std::size_t expected, Py_ssize_t given) {
    std::string text = "expected tuple of length " + std::to_string(expected) + ", but got tuple of length " +
                       std::to_string(given);
    PyErr_SetString(PyExc_ValueError, text.c_str());
    return false;
}

void prefix_argument_error(const char* parameter) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    Ref cause = Ref::steal(value);
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    std::string text = std::string("argument '") + parameter + "': ";
    Ref str = Ref::steal(cause ? PyObject_Str(cause.get()) : nullptr);
    Py_ssize_t size = 0;
    const char* utf8 = str ? PyUnicode_AsUTF8AndSize(str.get(), &size) : nullptr;
    if (utf8) text.append(utf8, size);
    PyErr_Clear();
    Ref error = Ref::steal(PyObject_CallFunction(PyExc_TypeError, "s#", text.data(), (Py_ssize_t)text.size()));
    if (!error) return;
    if (cause) PyException_SetCause(error.get(), cause.release());
    PyErr_SetObject(PyExc_TypeError, error.get());
}

void missing_arguments(std::string_view callable, const std::vector<const char*>& names) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
        list += quoted(names[i]);
    }
    type_error(std::string(callable) + "() missing " + std::to_string(names.size()) + " required positional argument" +
               (names.size() == 1 ? "" : "s") + ": " + list);
}

void unexpected_keyword(std::string_view callable, std::string_view keyword) {
    type_error(std::string(callable) + "() got an unexpected keyword argument " + quoted(keyword));
}

void multiple_values(std::string_view callable, std::string_view parameter) {
    type_error(std::string(callable) + "() got multiple values for argument " + quoted(parameter));
}

void too_many_positional(std::string_view callable, std::size_t required, std::size_t total, std::size_t given) {
    std::string takes = required == total ? std::to_string(total)
                                          : "from " + std::to_string(required) + " to " + std::to_string(total);
    type_error(std::string(callable) + "() takes " + takes + " positional arguments but " + std::to_string(given) +
               (given == 1 ? " was" : " were") + " given");
}

}  // namespace vorn::py::msg

#include "python_bridge/messages.h"

#include "common/template_text.h"
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

std::string utf8_of(PyObject* text) {
    Py_ssize_t size = 0;
    const char* utf8 = text ? PyUnicode_AsUTF8AndSize(text, &size) : nullptr;
    return utf8 ? std::string(utf8, static_cast<std::size_t>(size)) : std::string();
}

}  // namespace

bool conversion_error(PyObject* given, std::string_view target) {
    type_error(fill_template(kConversion, {{"given", type_name(given)}, {"target", target}}));
    return false;
}

bool tuple_length_error(std::size_t expected, Py_ssize_t given) {
    std::string text =
        fill_template(kTupleLength, {{"expected", std::to_string(expected)}, {"given", std::to_string(given)}});
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
    Ref str = Ref::steal(cause ? PyObject_Str(cause.get()) : nullptr);
    std::string text = fill_template(kArgumentPrefix, {{"parameter", parameter}, {"error", utf8_of(str.get())}});
    PyErr_Clear();
    Ref error = Ref::steal(PyObject_CallFunction(PyExc_TypeError, "s#", text.data(), (Py_ssize_t)text.size()));
    if (!error) return;
    if (cause) PyException_SetCause(error.get(), cause.release());
    PyErr_SetObject(PyExc_TypeError, error.get());
}

void missing_arguments(std::string_view callable, const std::vector<const char*>& names) {
    // 'a'; 'a' and 'b'; 'a', 'b', and 'c', as the interpreter lists them.
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
        list += "'" + std::string(names[i]) + "'";
    }
    type_error(fill_template(names.size() == 1 ? kMissingArgument : kMissingArguments,
                             {{"callable", callable}, {"count", std::to_string(names.size())}, {"names", list}}));
}

void unexpected_keyword(std::string_view callable, std::string_view keyword) {
    type_error(fill_template(kUnexpectedKeyword, {{"callable", callable}, {"keyword", keyword}}));
}

void multiple_values(std::string_view callable, std::string_view parameter) {
    type_error(fill_template(kMultipleValues, {{"callable", callable}, {"parameter", parameter}}));
}

void too_many_positional(std::string_view callable, std::size_t required, std::size_t total, std::size_t given) {
    std::string takes =
        required == total
            ? std::to_string(total)
            : fill_template(kTakesRange, {{"required", std::to_string(required)}, {"total", std::to_string(total)}});
    std::string given_text =
        given == 1 ? std::string(kGivenOne) : fill_template(kGivenMany, {{"count", std::to_string(given)}});
    type_error(fill_template(kTooManyPositional, {{"callable", callable}, {"takes", takes}, {"given", given_text}}));
}

}  // namespace vorn::py::msg

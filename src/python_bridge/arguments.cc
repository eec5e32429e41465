#include "python_bridge/arguments.h"

#include <string_view>
#include <utility>

#include "python_bridge/messages.h"

namespace vorn::py {

namespace {

using Keyword = std::pair<PyObject*, PyObject*>;  // name, value

bool bind(const CallSignature& signature, PyObject* const* positional, std::size_t nargs,
          const std::vector<Keyword>& keywords, PyObject** slots) {
    const std::size_t count = signature.names.size();
    for (std::size_t i = 0; i < count; ++i) slots[i] = nullptr;
    if (nargs > count) {
        msg::too_many_positional(signature.display, signature.required, count, nargs);
        return false;
    }
    for (std::size_t i = 0; i < nargs; ++i) slots[i] = positional[i];
    for (const auto& [name, value] : keywords) {
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(name, &size);
        if (!text) return false;
        std::string_view keyword(text, static_cast<std::size_t>(size));
        std::size_t index = 0;
        while (index < count && keyword != signature.names[index]) ++index;
        if (index == count) {
            msg::unexpected_keyword(signature.display, keyword);
            return false;
        }
        if (slots[index]) {
            msg::multiple_values(signature.display, keyword);
            return false;
        }
        slots[index] = value;
    }
    std::vector<const char*> missing;
    for (std::size_t i = 0; i < signature.required; ++i) {
        if (!slots[i]) missing.push_back(signature.names[i]);
    }
    if (!missing.empty()) {
        msg::missing_arguments(signature.display, missing);
        return false;
    }
    return true;
}

}  // namespace

bool bind_arguments(const CallSignature& signature, PyObject* const* args, std::size_t nargs, PyObject* kwnames,
                    PyObject** slots) {
    std::vector<Keyword> keywords;
    if (kwnames) {
        Py_ssize_t count = PyTuple_Size(kwnames);
        for (Py_ssize_t i = 0; i < count; ++i) keywords.emplace_back(PyTuple_GetItem(kwnames, i), args[nargs + i]);
    }
    return bind(signature, args, nargs, keywords, slots);
}

bool bind_arguments(const CallSignature& signature, PyObject* args, PyObject* kwargs, PyObject** slots) {
    std::vector<PyObject*> positional;
    Py_ssize_t count = args ? PyTuple_Size(args) : 0;
    for (Py_ssize_t i = 0; i < count; ++i) positional.push_back(PyTuple_GetItem(args, i));
    std::vector<Keyword> keywords;
    if (kwargs) {
        Py_ssize_t position = 0;
        PyObject *key, *value;
        while (PyDict_Next(kwargs, &position, &key, &value)) keywords.emplace_back(key, value);
    }
    return bind(signature, positional.data(), positional.size(), keywords, slots);
}

std::string text_signature(const std::vector<const char*>& names, std::size_t required, bool with_self) {
    std::string text = with_self ? "($self" : "(";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0 || with_self) text += ", ";
        text += names[i];
        if (i >= required) text += "=None";
    }
    return text + ")";
}

std::string signed_doc(const std::string& name, const std::string& signature, const char* body) {
    return name + signature + "\n--\n\n" + (body ? body : "");
}

}  // namespace vorn::py

// Binding of positional and keyword arguments to a callable's parameters,
// with the interpreter's arity and keyword errors.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "python_bridge/python_api.h"

namespace vorn::py {

struct CallSignature {
    std::string display;             // "VornEngine.simulate", "NodeDefinition.__new__", "qkd"
    std::vector<const char*> names;  // parameter names in order
    std::size_t required = 0;        // the leading parameters without a default
};

// Fills `slots` (one per parameter, borrowed, null when not given) from a
// vectorcall-style argument list. Returns false with a TypeError set.
bool bind_arguments(const CallSignature& signature, PyObject* const* args, std::size_t nargs, PyObject* kwnames,
                    PyObject** slots);
// The same from an argument tuple and an optional keyword dict.
bool bind_arguments(const CallSignature& signature, PyObject* args, PyObject* kwargs, PyObject** slots);

// "(a, b, c=None)"-style text signatures, with an optional receiver.
std::string text_signature(const std::vector<const char*>& names, std::size_t required, bool with_self);
// "name(sig)\n--\n\nbody": the docstring form that carries a text signature.
std::string signed_doc(const std::string& name, const std::string& signature, const char* body);

}  // namespace vorn::py

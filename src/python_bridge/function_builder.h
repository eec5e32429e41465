// Declarative module functions: a plain C++ function, its parameter names
// and its docstring body become one PyMethodDef with a text signature.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

#include "python_bridge/class_table.h"
#include "python_bridge/invoke.h"

namespace vorn::py {

struct FunctionTable {
    PyMethodDef def;
    PythonTypes python_types;  // "name.parameter" and "name" (the result)
};

template <auto Fn>
FunctionTable make_function(const char* name, std::initializer_list<const char*> params, const char* doc = "") {
    CallSignature& signature = CallMeta<Fn>::signature;
    signature.display = name;
    signature.names.assign(params.begin(), params.end());
    signature.required = []<class R, class... P>(R (*)(P...)) { return required_count<P...>(); }(Fn);
    // Kept for the life of the process: the function object points into it.
    auto* doc_text = new std::string(signed_doc(name, text_signature(signature.names, signature.required, false), doc));
    PythonTypes types;
    [&]<class R, class... P>(R (*)(P...)) {
        const PythonTypeText parameter_types[] = {&python_type_of<P>..., nullptr};
        std::size_t index = 0;
        for (const char* param : params) {
            if (index >= sizeof...(P)) throw std::logic_error("more parameter names than parameters");
            types.emplace_back(std::string(name) + "." + param, parameter_types[index++]);
        }
        types.emplace_back(name, &python_type_of<R>);
    }(Fn);
    return {{name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&function_trampoline<Fn>)),
             METH_FASTCALL | METH_KEYWORDS, doc_text->c_str()},
            std::move(types)};
}

}  // namespace vorn::py

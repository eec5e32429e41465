// Declarative module functions: a plain C++ function, its parameter names
// and its docstring body become one PyMethodDef with a text signature.
#pragma once

#include <initializer_list>
#include <string>

#include "python_bridge/invoke.h"

namespace vorn::py {

struct FunctionTable {
    PyMethodDef def;
};

template <auto Fn>
FunctionTable make_function(const char* name, std::initializer_list<const char*> params, const char* doc = "") {
    CallSignature& signature = CallMeta<Fn>::signature;
    signature.display = name;
    signature.names.assign(params.begin(), params.end());
    signature.required = []<class R, class... P>(R (*)(P...)) { return required_count<P...>(); }(Fn);
    // Kept for the life of the process: the function object points into it.
    auto* doc_text = new std::string(signed_doc(name, text_signature(signature.names, signature.required, false), doc));
    return {{name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&function_trampoline<Fn>)),
             METH_FASTCALL | METH_KEYWORDS, doc_text->c_str()}};
}

}  // namespace vorn::py

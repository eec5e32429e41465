// The single place where C++ exceptions become Python exceptions, and the
// guard that every entry point runs its body under.
#pragma once

#include <utility>

#include "common/thread_error_state.h"
#include "python_bridge/python_api.h"

namespace vorn::py {

// Creates the internal-fault class (derived from BaseException) once.
bool init_fault_class();
// Raises the internal fault with `text`.
void raise_fault(const char* text);
// Translates the exception being handled into the matching Python exception.
void translate_current_exception();

// Runs `body` (returning R) and turns any C++ exception into a Python error
// and `failure`.
template <class R, class Body>
R guarded(R failure, Body&& body) noexcept {
    prepare_thread_error_state();
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        translate_current_exception();
        return failure;
    }
}

}  // namespace vorn::py

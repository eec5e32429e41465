// The per-thread state a C++ exception needs, made before it is needed.
//
// The module is loaded into a running interpreter, so the thread-local blocks
// of the module and of the C++ runtime (which holds each thread's exception
// state) are allocated lazily, on a thread's first use of them. When the
// first use is throwing std::bad_alloc because memory ran out, that
// allocation fails too and the C library aborts the process. Every entry
// point and every worker thread calls this first, while memory is still
// there, so an exhausted allocation always becomes a MemoryError.
#pragma once

#include <exception>

namespace vorn {

inline void prepare_thread_error_state() noexcept {
    static thread_local volatile unsigned char module_block = 0;  // this module's thread-local block
    module_block = static_cast<unsigned char>(module_block + 1);
    (void)std::uncaught_exceptions();  // the C++ runtime's block, with its exception state
}

}  // namespace vorn

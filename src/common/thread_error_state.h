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
    // Writing this module's thread-local allocates its block; the C++
    // runtime's block is allocated by reading its exception count (a pure
    // function, so its result is kept, or the call would be left out).
    static thread_local volatile int module_block = 0;
    module_block = module_block + std::uncaught_exceptions();
}

}  // namespace vorn

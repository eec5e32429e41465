// The memory layout of every bound object: the interpreter's object header, a
// borrow state, and the C++ value stored inline. A value is always fully
// constructed before its instance exists, so deallocation always destroys it.
#pragma once

#include <new>
#include <utility>

#include "common/errors.h"
#include "python_bridge/python_api.h"

namespace vorn::py {

struct InstanceHeader {
    PyObject_HEAD
        // 0 free, n > 0 shared borrows, -1 one exclusive borrow.
        int borrow;
};

template <class T>
struct Instance {
    InstanceHeader header;
    alignas(T) unsigned char storage[sizeof(T)];
};

template <class T>
T& value_of(PyObject* self) {
    return *std::launder(reinterpret_cast<T*>(reinterpret_cast<Instance<T>*>(self)->storage));
}

inline int& borrow_state(PyObject* self) { return reinterpret_cast<InstanceHeader*>(self)->borrow; }

// Thrown when a Python error is already set and the call must unwind.
struct ErrorAlreadySet {};

enum class Access { Shared, Exclusive };

// Holds one borrow of an object for its lifetime; released on every exit path.
class BorrowGuard {
public:
    BorrowGuard() = default;
    BorrowGuard(PyObject* object, Access access);  // throws ErrorAlreadySet on conflict
    BorrowGuard(BorrowGuard&& other) noexcept
        : object_(std::exchange(other.object_, nullptr)), access_(other.access_) {}
    BorrowGuard& operator=(BorrowGuard&&) = delete;
    ~BorrowGuard();

private:
    PyObject* object_ = nullptr;
    Access access_ = Access::Shared;
};

// Allocates an instance of `type` holding `value` (moved in). Returns a new
// reference, or null with a Python error set.
template <class T>
PyObject* make_instance(PyTypeObject* type, T value) {
    PyObject* object = PyType_GenericAlloc(type, 0);
    if (!object) return nullptr;
    borrow_state(object) = 0;
    new (reinterpret_cast<Instance<T>*>(object)->storage) T(std::move(value));
    return object;
}

template <class T>
void destroy_instance(PyObject* self) {
    value_of<T>(self).~T();
    PyTypeObject* type = Py_TYPE(self);
    auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_fn(self);
    Py_DECREF(type);
}

}  // namespace vorn::py

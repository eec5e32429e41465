// An owning reference to a Python object.
#pragma once

#include <utility>

#include "python_bridge/python_api.h"

namespace vorn::py {

class Ref {
public:
    Ref() = default;
    // Takes ownership of a new reference (may be null).
    static Ref steal(PyObject* object) { return Ref(object); }
    // Adds a reference to a borrowed one.
    static Ref borrow(PyObject* object) {
        Py_XINCREF(object);
        return Ref(object);
    }
    Ref(const Ref& other) : object_(other.object_) { Py_XINCREF(object_); }
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Ref() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    PyObject* release() { return std::exchange(object_, nullptr); }
    explicit operator bool() const { return object_ != nullptr; }

private:
    explicit Ref(PyObject* object) : object_(object) {}
    PyObject* object_ = nullptr;
};

}  // namespace vorn::py

#include "python_bridge/instance.h"

#include "python_bridge/messages.h"

namespace vorn::py {

BorrowGuard::BorrowGuard(PyObject* object, Access access) : access_(access) {
    int& state = borrow_state(object);
    if (access == Access::Exclusive) {
        if (state != 0) {
            PyErr_SetString(PyExc_RuntimeError, msg::kAlreadyBorrowed);
            throw ErrorAlreadySet{};
        }
        state = -1;
    } else {
        if (state < 0) {
            PyErr_SetString(PyExc_RuntimeError, msg::kAlreadyMutablyBorrowed);
            throw ErrorAlreadySet{};
        }
        ++state;
    }
    object_ = object;
}

BorrowGuard::~BorrowGuard() {
    if (!object_) return;
    int& state = borrow_state(object_);
    if (access_ == Access::Exclusive) {
        state = 0;
    } else {
        --state;
    }
}

}  // namespace vorn::py

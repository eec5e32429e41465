// Releasing objects that hold other objects without recursion. Destroying a
// value drops the references it holds, which can destroy the next value,
// and so on: a long chain (each file object held in the previous one's
// `extensions`) would take one stack frame per link and overflow the stack.
#pragma once

#include "python_bridge/python_api.h"

namespace vorn::py {

// Runs `destroy(self)` now when no release is running on this thread;
// otherwise queues it, and the outermost release runs the queued ones one
// after another once its own value is gone. `self` must already be
// untracked by the collector; nothing can reach it any more.
void release_without_recursion(PyObject* self, void (*destroy)(PyObject*));

}  // namespace vorn::py

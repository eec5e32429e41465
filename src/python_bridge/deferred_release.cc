#include "python_bridge/deferred_release.h"

#include <utility>
#include <vector>

namespace vorn::py {

namespace {

struct PendingRelease {
    PyObject* object;
    void (*destroy)(PyObject*);
};

// Per thread: a release runs with the interpreter lock held, but the code
// it runs (a finaliser of an object it drops) may let another thread in.
thread_local bool releasing = false;
thread_local std::vector<PendingRelease> pending;

}  // namespace

void release_without_recursion(PyObject* self, void (*destroy)(PyObject*)) {
    if (releasing) {
        pending.push_back({self, destroy});
        return;
    }
    releasing = true;
    destroy(self);
    while (!pending.empty()) {
        const PendingRelease next = pending.back();
        pending.pop_back();
        next.destroy(next.object);
    }
    releasing = false;
}

}  // namespace vorn::py

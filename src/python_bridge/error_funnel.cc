#include "python_bridge/error_funnel.h"

#include <new>

#include "common/errors.h"
#include "common/stop_check.h"
#include "python_bridge/instance.h"
#include "python_bridge/messages.h"

namespace vorn::py {

namespace {
PyObject* fault_class = nullptr;
}

bool init_fault_class() {
    if (fault_class) return true;
    fault_class =
        PyErr_NewExceptionWithDoc("vorn_core.InternalFault", "An internal invariant of the simulator was violated.",
                                  PyExc_BaseException, nullptr);
    return fault_class != nullptr;
}

namespace {

// Sets `kind` with the whole message, embedded NUL characters included. A
// file name in it that is not UTF-8 keeps its bytes as surrogate escapes,
// as the str that named the file had them.
void set_error(PyObject* kind, const std::string& text) {
    PyObject* message = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
    if (!message) return;
    PyErr_SetObject(kind, message);
    Py_DECREF(message);
}

}  // namespace

void raise_fault(const char* text) {
    if (!fault_class && !init_fault_class()) return;
    PyErr_SetString(fault_class, text);
}

void translate_current_exception() {
    try {
        throw;
    } catch (const ErrorAlreadySet&) {
        if (!PyErr_Occurred()) raise_fault(msg::kUnknownCxxException);
    } catch (const vorn::Stopped& stopped) {
        // A signal handler's exception ended the call: it stays as raised.
        if (!PyErr_Occurred()) raise_fault(stopped.what());
    } catch (const vorn::ValueError& error) {
        set_error(PyExc_ValueError, error.message);
    } catch (const vorn::OperationError& error) {
        set_error(PyExc_RuntimeError, error.message);
    } catch (const vorn::InternalFault& error) {
        if (fault_class || init_fault_class()) set_error(fault_class, error.message);
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        raise_fault(error.what());
    } catch (...) {
        raise_fault(msg::kUnknownCxxException);
    }
}

}  // namespace vorn::py

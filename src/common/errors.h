// Error kinds raised by the simulation core. The Python bridge maps each kind
// to one Python exception class in a single place; the core never touches Python.
#pragma once

#include <stdexcept>
#include <string>

namespace vorn {

// A value that an operation rejects (unknown topology name, bad protocol
// parameter, missing analysis context).
struct ValueError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An operation that cannot be completed (file input/output, parsing,
// validation, an ensemble without a network).
struct OperationError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A broken internal invariant. It reaches Python as the dedicated fault class
// that derives from BaseException, so `except Exception` does not catch it.
struct InternalFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace vorn

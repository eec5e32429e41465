// Error kinds raised by the simulation core. The Python bridge maps each kind
// to one Python exception class in a single place; the core never touches Python.
#pragma once

#include <stdexcept>
#include <string>

namespace vorn {

// The common base: keeps the whole message, embedded NUL characters included
// (a path may carry one), which what() alone would cut short.
struct Error : std::runtime_error {
    explicit Error(const std::string& text) : std::runtime_error(text), message(text) {}
    explicit Error(const char* text) : Error(std::string(text)) {}
    std::string message;
};

// A value that an operation rejects (unknown topology name, bad protocol
// parameter, missing analysis context).
struct ValueError : Error {
    using Error::Error;
};

// An operation that cannot be completed (file input/output, parsing,
// validation, an ensemble without a network).
struct OperationError : Error {
    using Error::Error;
};

// A broken internal invariant. It reaches Python as the dedicated fault class
// that derives from BaseException, so `except Exception` does not catch it.
struct InternalFault : Error {
    using Error::Error;
};

}  // namespace vorn

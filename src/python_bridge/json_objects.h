// JSON value trees as Python objects and back: objects as dicts, arrays as
// lists, integers as int, fractional numbers as float, strings, booleans and
// null as None.
#pragma once

#include "formats/json_value.h"
#include "python_bridge/py_ref.h"

namespace vorn::py {

// A new Python object mirroring `value`. Throws ErrorAlreadySet.
Ref json_to_python(const JsonValue& value);
// The JSON value of a Python object made of dicts with str keys, lists or
// tuples, str, int within 64 bits, float, bool and None. Anything else
// throws LoadError (Json kind) with a sentence naming what could not be written.
JsonValue python_to_json(PyObject* object);

}  // namespace vorn::py

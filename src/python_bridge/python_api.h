// The one include of the interpreter's header: the stable (limited) C API of
// CPython 3.10, so a single abi3 build serves every later CPython 3.
#pragma once

#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x030A0000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>

// File path arguments: the bytes that name the file to the system.
//
// A str is encoded as the interpreter encodes file names (the file system
// encoding with surrogateescape), so a name that is not valid UTF-8, which
// os.listdir hands out as a str with surrogate escapes, names the same file
// here as it does in open(). An os.PathLike object gives its __fspath__
// (a str, encoded the same way, or bytes). Anything else, bytes included,
// fails with the conversion text of text arguments.
#pragma once

#include <string>

#include "python_bridge/convert.h"
#include "python_bridge/py_ref.h"

namespace vorn::py {

struct FilePath {
    std::string bytes;
};

// The path as a str again, decoded as the interpreter decodes file names.
PyObject* file_path_object(const std::string& bytes);

// A text that may hold such paths (a diff summary, an error): UTF-8, with
// the bytes of a name that are not UTF-8 as surrogate escapes, so that it
// equals the text formatted in Python from the str paths.
Ref text_naming_paths(const std::string& text);

template <>
struct Converter<FilePath> : PlainKind {
    static bool load(PyObject* src, FilePath& out);
    static PyObject* cast(const FilePath& value) { return file_path_object(value.bytes); }
    static std::string python_type() { return "str | os.PathLike[str] | os.PathLike[bytes]"; }
};

}  // namespace vorn::py

#include "python_bridge/file_path.h"

#include "python_bridge/messages.h"
#include "python_bridge/py_ref.h"

namespace vorn::py {

namespace {

bool is_path_like(PyObject* object) {
    Ref method = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__fspath__"));
    if (!method) PyErr_Clear();
    return static_cast<bool>(method);
}

bool take_bytes(PyObject* bytes, FilePath& out) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes, &data, &size) < 0) return false;
    out.bytes.assign(data, static_cast<std::size_t>(size));
    return true;
}

bool encode_str(PyObject* text, FilePath& out) {
    Ref encoded = Ref::steal(PyUnicode_EncodeFSDefault(text));
    return encoded && take_bytes(encoded.get(), out);
}

}  // namespace

PyObject* file_path_object(const std::string& bytes) {
    return PyUnicode_DecodeFSDefaultAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
}

Ref text_naming_paths(const std::string& text) {
    Ref object = Ref::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape"));
    if (!object) throw ErrorAlreadySet{};
    return object;
}

bool Converter<FilePath>::load(PyObject* src, FilePath& out) {
    if (PyUnicode_Check(src)) return encode_str(src, out);
    if (PyBytes_Check(src) || !is_path_like(src)) return msg::conversion_error(src, msg::kTargetString);
    Ref path = Ref::steal(PyOS_FSPath(src));
    if (!path) return false;
    if (PyUnicode_Check(path.get())) return encode_str(path.get(), out);
    return take_bytes(path.get(), out);
}

}  // namespace vorn::py

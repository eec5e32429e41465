#include "python_bridge/json_objects.h"

#include <string>

#include "common/template_text.h"
#include "files/load_error.h"
#include "python_bridge/convert.h"
#include "python_bridge/messages.h"

namespace vorn::py {

namespace {

// A document nests at most 128 levels; the file object and its "extensions"
// object take two of them, so custom's own containers may take 126.
constexpr int kMaxDepth = 126;

Ref checked(PyObject* object) {
    if (!object) throw ErrorAlreadySet{};
    return Ref::steal(object);
}

std::string type_name_of(PyObject* object) {
    Ref name = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
    std::string text;
    if (name && Converter<std::string>::load(name.get(), text)) return text;
    PyErr_Clear();
    return "object";
}

// `object` is held by the caller for the whole call (an item reference or a
// private copy's entry). Containers are walked over what only this call can
// reach: a dict over a private copy, a list or tuple through an
// iterator, each item held by its own reference. So code that runs during
// the walk (a subclass's __iter__, a metaclass's __name__) may change or
// free the containers without pulling anything from under the walk.
JsonValue to_json(PyObject* object, int depth) {
    if (object == Py_None) return JsonValue();
    if (PyBool_Check(object)) return JsonValue(object == Py_True);
    if (PyLong_Check(object)) {
        int overflow = 0;
        long long value = PyLong_AsLongLongAndOverflow(object, &overflow);
        if (value == -1 && PyErr_Occurred()) throw ErrorAlreadySet{};
        if (overflow == 0) return JsonValue(static_cast<std::int64_t>(value));
        unsigned long long large = PyLong_AsUnsignedLongLong(object);
        if (large == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
            PyErr_Clear();
            throw LoadError::json(msg::kJsonIntegerTooLarge);
        }
        return JsonValue(static_cast<std::uint64_t>(large));
    }
    if (PyFloat_Check(object)) return JsonValue(PyFloat_AsDouble(object));
    if (PyUnicode_Check(object)) {
        std::string text;
        if (!Converter<std::string>::load(object, text)) throw ErrorAlreadySet{};
        return JsonValue(std::move(text));
    }
    bool container = PyDict_Check(object) || PyList_Check(object) || PyTuple_Check(object);
    if (container && depth > kMaxDepth) throw LoadError::json(msg::kJsonTooDeep);
    if (PyDict_Check(object)) {
        JsonValue::Object members;
        Ref items = checked(PyDict_Copy(object));
        Py_ssize_t position = 0;
        PyObject *key, *value;
        while (PyDict_Next(items.get(), &position, &key, &value)) {
            if (!PyUnicode_Check(key)) throw LoadError::json(msg::kJsonKeyNotStr);
            std::string name;
            if (!Converter<std::string>::load(key, name)) throw ErrorAlreadySet{};
            members.push_back({std::move(name), to_json(value, depth + 1)});
        }
        return JsonValue(std::move(members));
    }
    if (PyList_Check(object) || PyTuple_Check(object)) {
        JsonValue::Array items;
        Ref iterator = checked(PyObject_GetIter(object));
        while (Ref item = Ref::steal(PyIter_Next(iterator.get()))) items.push_back(to_json(item.get(), depth + 1));
        if (PyErr_Occurred()) throw ErrorAlreadySet{};
        return JsonValue(std::move(items));
    }
    throw LoadError::json(fill_template(msg::kJsonUnsupported, {{"type", type_name_of(object)}}));
}

}  // namespace

Ref json_to_python(const JsonValue& value) {
    switch (value.kind()) {
        case JsonValue::Kind::Null: return Ref::borrow(Py_None);
        case JsonValue::Kind::Bool: return checked(PyBool_FromLong(value.as_bool()));
        case JsonValue::Kind::Unsigned: return checked(PyLong_FromUnsignedLongLong(value.as_unsigned()));
        case JsonValue::Kind::Signed: return checked(PyLong_FromLongLong(value.as_signed()));
        case JsonValue::Kind::Float: return checked(PyFloat_FromDouble(value.as_float()));
        case JsonValue::Kind::String: return checked(Converter<std::string>::cast(value.as_string()));
        case JsonValue::Kind::Array: {
            Ref list = checked(PyList_New(0));
            for (const JsonValue& item : value.as_array()) {
                if (PyList_Append(list.get(), json_to_python(item).get()) < 0) throw ErrorAlreadySet{};
            }
            return list;
        }
        case JsonValue::Kind::Object: {
            Ref dict = checked(PyDict_New());
            for (const JsonMember& member : value.as_object()) {
                Ref key = checked(Converter<std::string>::cast(member.key));
                if (PyDict_SetItem(dict.get(), key.get(), json_to_python(member.value).get()) < 0) {
                    throw ErrorAlreadySet{};
                }
            }
            return dict;
        }
    }
    return Ref::borrow(Py_None);
}

JsonValue python_to_json(PyObject* object) { return to_json(object, 1); }

}  // namespace vorn::py

#include "python_bridge/vorn_objects.h"

#include "files/load_error.h"
#include "python_bridge/convert.h"
#include "python_bridge/json_objects.h"

namespace vorn::py {

namespace {

// Both sides give every link an id: one without gets the empty id.
std::vector<VornLink> with_link_ids(std::vector<VornLink> links) {
    for (VornLink& link : links) {
        if (!link.id) link.id = std::string();
    }
    return links;
}

}  // namespace

VornFileObject vorn_object_from_record(VornFile record) {
    VornFileObject object;
    object.version = std::move(record.version);
    object.metadata = std::move(record.metadata);
    object.nodes = std::move(record.nodes);
    object.links = with_link_ids(std::move(record.links));
    object.config = std::move(record.config);
    object.constraints = std::move(record.constraints);
    if (record.extensions) {
        Ref dict = Ref::steal(PyDict_New());
        if (!dict) throw ErrorAlreadySet{};
        if (record.extensions->custom) {
            Ref custom = json_to_python(*record.extensions->custom);
            if (PyDict_SetItemString(dict.get(), "custom", custom.get()) < 0) throw ErrorAlreadySet{};
        }
        object.extensions = std::move(dict);
    }
    return object;
}

VornFile vorn_network_record(const VornFileObject& object) {
    VornFile record;
    record.version = object.version;
    record.metadata = object.metadata;
    record.nodes = object.nodes;
    record.links = with_link_ids(object.links);
    record.config = object.config;
    record.constraints = object.constraints;
    return record;
}

VornFile vorn_record_from_object(const VornFileObject& object) {
    VornFile record = vorn_network_record(object);
    // Walked over a private copy, which holds every key and value for the
    // whole conversion: the walk may run code that changes or drops the dict.
    PyObject* extensions = object.extensions.get();
    if (!extensions || extensions == Py_None) return record;
    if (!PyDict_Check(extensions)) throw LoadError::json(msg::kExtensionsNotDict);
    VornExtensions written;
    Ref items = Ref::steal(PyDict_Copy(extensions));
    if (!items) throw ErrorAlreadySet{};
    Py_ssize_t position = 0;
    PyObject *key, *value;
    while (PyDict_Next(items.get(), &position, &key, &value)) {
        if (!PyUnicode_Check(key) || PyUnicode_CompareWithASCIIString(key, "custom") != 0) {
            throw LoadError::json(msg::kExtensionsKeys);
        }
        written.custom = python_to_json(value);
    }
    record.extensions = std::move(written);
    return record;
}

}  // namespace vorn::py

// Finds (and on first need creates) the type object bound to a C++ type.
#pragma once

#include "python_bridge/class_table.h"
#include "python_bridge/error_funnel.h"
#include "python_bridge/instance.h"

namespace vorn::py {

template <class T>
PyTypeObject* type_object() {
    if (TypeSlot<T>::type) return TypeSlot<T>::type;
    if (!TypeSlot<T>::table) throw InternalFault("a class was used before its binding was registered");
    if (!create_type(*TypeSlot<T>::table)) throw ErrorAlreadySet{};
    return TypeSlot<T>::type;
}

template <class T>
const char* class_name() {
    return TypeSlot<T>::table ? TypeSlot<T>::table->name.c_str() : "object";
}

}  // namespace vorn::py

// Conversions between Python objects and C++ values, chosen by C++ type:
// text, real, whole number (range-checked), bool, optional, sequence, map,
// tuple, any object, and bound classes (records and enumerations, copied).
// Each conversion also names its Python type (`python_type`), from which the
// type stubs are written.
// `load` returns false and leaves a Python error set; `cast` returns a new
// reference or null with an error set.
//
// Conversions can run Python code (__len__, __iter__, __index__, __float__
// and the like), and that code may change or free the objects being
// converted. So every container is held by a strong reference while it is
// walked, and every item taken from it is held by its own: a dict is walked
// over a private copy, a sequence through an iterator, and a sequence's
// length is only a hint for the reservation.
#pragma once

#include <concepts>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "python_bridge/instance.h"
#include "python_bridge/messages.h"
#include "python_bridge/py_ref.h"
#include "python_bridge/type_object.h"

namespace vorn::py {

// Bound classes: records and enumerations registered with a ClassBuilder.
template <class T, class Enable = void>
struct Converter {
    static bool load(PyObject* src, T& out) {
        if (Py_TYPE(src) != type_object<T>()) return msg::conversion_error(src, class_name<T>());
        BorrowGuard guard(src, Access::Shared);
        out = value_of<T>(src);
        return true;
    }
    static PyObject* cast(T value) { return make_instance<T>(type_object<T>(), std::move(value)); }
    static std::string python_type() { return class_name<T>(); }
};

// Marks the conversions of plain kinds; anything else is a bound class.
struct PlainKind {
    static constexpr bool plain = true;
};

template <class T>
concept BoundClass = !requires { Converter<T>::plain; };

// "X | None", once: an optional of an optional is still one None.
inline std::string with_none(std::string type) { return type.ends_with(" | None") ? type : type + " | None"; }

template <>
struct Converter<std::string> : PlainKind {
    static bool load(PyObject* src, std::string& out) {
        if (!PyUnicode_Check(src)) return msg::conversion_error(src, msg::kTargetString);
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(src, &size);
        if (!text) return false;
        out.assign(text, static_cast<std::size_t>(size));
        return true;
    }
    static PyObject* cast(const std::string& value) {
        return PyUnicode_FromStringAndSize(value.data(), static_cast<Py_ssize_t>(value.size()));
    }
    static std::string python_type() { return "str"; }
};

template <>
struct Converter<double> : PlainKind {
    static bool load(PyObject* src, double& out) {
        out = PyFloat_AsDouble(src);
        return !(out == -1.0 && PyErr_Occurred());
    }
    static PyObject* cast(double value) { return PyFloat_FromDouble(value); }
    static std::string python_type() { return "float"; }
};

template <>
struct Converter<bool> : PlainKind {
    static bool load(PyObject* src, bool& out) {
        if (!PyBool_Check(src)) return msg::conversion_error(src, msg::kTargetBool);
        out = src == Py_True;
        return true;
    }
    static PyObject* cast(bool value) { return PyBool_FromLong(value); }
    static std::string python_type() { return "bool"; }
};

// Whole numbers: any object with an integer index; out of range is an OverflowError.
template <class T>
struct Converter<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>> : PlainKind {
    static bool load(PyObject* src, T& out) {
        Ref index = Ref::steal(PyNumber_Index(src));
        if (!index) return false;
        if constexpr (std::is_same_v<T, std::uint64_t>) {
            unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
            if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
            out = value;
        } else {
            int overflow = 0;
            long long value = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
            if (value == -1 && PyErr_Occurred()) return false;
            if (overflow != 0 || !std::in_range<T>(value)) {
                PyErr_SetString(PyExc_OverflowError, msg::kIntegerOutOfRange);
                return false;
            }
            out = static_cast<T>(value);
        }
        return true;
    }
    static PyObject* cast(T value) {
        if constexpr (std::is_signed_v<T>) {
            return PyLong_FromLongLong(value);
        } else {
            return PyLong_FromUnsignedLongLong(value);
        }
    }
    static std::string python_type() { return "int"; }
};

template <class T>
struct Converter<std::optional<T>> : PlainKind {
    static bool load(PyObject* src, std::optional<T>& out) {
        if (src == Py_None) {
            out.reset();
            return true;
        }
        T value{};
        if (!Converter<T>::load(src, value)) return false;
        out = std::move(value);
        return true;
    }
    static PyObject* cast(const std::optional<T>& value) {
        if (!value) Py_RETURN_NONE;
        return Converter<T>::cast(*value);
    }
    static std::string python_type() { return with_none(Converter<T>::python_type()); }
};

// The most items reserved up front from a sequence's own length: a length
// that lies (or is simply huge) must not decide the allocation; the items
// that the iterator really yields do.
inline constexpr Py_ssize_t kMaxReservedItems = 4096;
// Sequence items converted between two runs of the pending signal handlers.
inline constexpr std::size_t kItemsPerSignalCheck = 4096;

template <class T>
struct Converter<std::vector<T>> : PlainKind {
    static bool load(PyObject* src, std::vector<T>& out) {
        if (PyUnicode_Check(src)) {
            PyErr_SetString(PyExc_TypeError, msg::kStrToVec);
            return false;
        }
        if (!PySequence_Check(src)) return msg::conversion_error(src, msg::kTargetSequence);
        Py_ssize_t size = PySequence_Size(src);
        if (size < 0) PyErr_Clear();
        Ref iterator = Ref::steal(PyObject_GetIter(src));
        if (!iterator) return false;
        std::vector<T> items;
        if (size > 0) items.reserve(static_cast<std::size_t>(size < kMaxReservedItems ? size : kMaxReservedItems));
        while (Ref item = Ref::steal(PyIter_Next(iterator.get()))) {
            // A list of a million records takes a good part of a second:
            // Ctrl-C (any handler that raises) ends the conversion.
            if (items.size() % kItemsPerSignalCheck == kItemsPerSignalCheck - 1 && PyErr_CheckSignals() < 0) {
                return false;
            }
            T value{};
            if (!Converter<T>::load(item.get(), value)) return false;
            items.push_back(std::move(value));
        }
        if (PyErr_Occurred()) return false;
        out = std::move(items);
        return true;
    }
    static PyObject* cast(const std::vector<T>& values) {
        Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
        if (!list) return nullptr;
        for (std::size_t i = 0; i < values.size(); ++i) {
            PyObject* item = Converter<T>::cast(values[i]);
            if (!item) return nullptr;
            PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
        }
        return list.release();
    }
    static std::string python_type() { return "list[" + Converter<T>::python_type() + "]"; }
};

// A new dict of (key, value) pairs in their order; a later equal key
// replaces the value.
template <class K, class V, class Pairs>
PyObject* dict_from_pairs(const Pairs& pairs) {
    Ref dict = Ref::steal(PyDict_New());
    if (!dict) return nullptr;
    for (const auto& [key, value] : pairs) {
        Ref k = Ref::steal(Converter<K>::cast(key));
        Ref v = Ref::steal(Converter<V>::cast(value));
        if (!k || !v || PyDict_SetItem(dict.get(), k.get(), v.get()) < 0) return nullptr;
    }
    return dict.release();
}

// Maps: a dict (or subclass) in; a new dict out, in the map's order.
template <class K, class V>
struct Converter<std::map<K, V>> : PlainKind {
    static bool load(PyObject* src, std::map<K, V>& out) {
        if (!PyDict_Check(src)) return msg::conversion_error(src, msg::kTargetDict);
        // A copy that only this call can reach holds every key and value:
        // the item conversions may change the dict, not what is walked.
        Ref items = Ref::steal(PyDict_Copy(src));
        if (!items) return false;
        std::map<K, V> result;
        Py_ssize_t position = 0;
        PyObject *key, *value;
        while (PyDict_Next(items.get(), &position, &key, &value)) {
            K k{};
            V v{};
            if (!Converter<K>::load(key, k) || !Converter<V>::load(value, v)) return false;
            result.insert_or_assign(std::move(k), std::move(v));
        }
        out = std::move(result);
        return true;
    }
    static PyObject* cast(const std::map<K, V>& values) { return dict_from_pairs<K, V>(values); }
    static std::string python_type() {
        return "dict[" + Converter<K>::python_type() + ", " + Converter<V>::python_type() + "]";
    }
};

// A dict built from ordered (key, value) pairs: later keys replace the value
// of an earlier equal key but keep its position.
template <class K, class V>
struct DictItems {
    std::vector<std::pair<K, V>> items;
};

template <class K, class V>
struct Converter<DictItems<K, V>> : PlainKind {
    static PyObject* cast(const DictItems<K, V>& values) { return dict_from_pairs<K, V>(values.items); }
    static std::string python_type() {
        return "dict[" + Converter<K>::python_type() + ", " + Converter<V>::python_type() + "]";
    }
};

// Tuples of a fixed length (a tuple only; lists are rejected).
template <class... T>
struct Converter<std::tuple<T...>> : PlainKind {
    static bool load(PyObject* src, std::tuple<T...>& out) {
        if (!PyTuple_Check(src)) return msg::conversion_error(src, msg::kTargetTuple);
        Py_ssize_t size = PyTuple_Size(src);
        if (size != static_cast<Py_ssize_t>(sizeof...(T))) return msg::tuple_length_error(sizeof...(T), size);
        // The tuple keeps its items alive; it is itself kept for the walk.
        Ref keep = Ref::borrow(src);
        return load_items(keep.get(), out, std::index_sequence_for<T...>{});
    }
    static PyObject* cast(const std::tuple<T...>& value) { return cast_items(value, std::index_sequence_for<T...>{}); }
    static std::string python_type() {
        std::string items;
        ((items += (items.empty() ? "" : ", ") + Converter<T>::python_type()), ...);
        return "tuple[" + items + "]";
    }

private:
    template <std::size_t... I>
    static bool load_items(PyObject* src, std::tuple<T...>& out, std::index_sequence<I...>) {
        return (Converter<T>::load(PyTuple_GetItem(src, I), std::get<I>(out)) && ...);
    }
    template <std::size_t... I>
    static PyObject* cast_items(const std::tuple<T...>& value, std::index_sequence<I...>) {
        PyObject* items[] = {Converter<T>::cast(std::get<I>(value))...};
        bool ok = true;
        for (PyObject* item : items) ok = ok && item;
        if (!ok) {
            for (PyObject* item : items) Py_XDECREF(item);
            return nullptr;
        }
        PyObject* tuple = PyTuple_New(sizeof...(T));
        if (!tuple) {
            for (PyObject* item : items) Py_DECREF(item);
            return nullptr;
        }
        for (std::size_t i = 0; i < sizeof...(T); ++i) PyTuple_SetItem(tuple, static_cast<Py_ssize_t>(i), items[i]);
        return tuple;
    }
};

template <class A, class B>
struct Converter<std::pair<A, B>> : PlainKind {
    static bool load(PyObject* src, std::pair<A, B>& out) {
        std::tuple<A, B> value;
        if (!Converter<std::tuple<A, B>>::load(src, value)) return false;
        out = {std::move(std::get<0>(value)), std::move(std::get<1>(value))};
        return true;
    }
    static PyObject* cast(const std::pair<A, B>& value) {
        return Converter<std::tuple<A, B>>::cast(std::tuple<A, B>(value.first, value.second));
    }
    static std::string python_type() { return Converter<std::tuple<A, B>>::python_type(); }
};

// Any Python object, held by reference.
template <>
struct Converter<Ref> : PlainKind {
    static bool load(PyObject* src, Ref& out) {
        out = Ref::borrow(src);
        return true;
    }
    static PyObject* cast(const Ref& value) {
        PyObject* object = value ? value.get() : Py_None;
        Py_INCREF(object);
        return object;
    }
    static std::string python_type() { return "Any"; }
};

// The Python type that a C++ value converts from and to, as the stubs write
// it (a function, so the names of bound classes are read once they exist).
template <class T>
std::string python_type_of() {
    if constexpr (std::is_void_v<T>) {
        return "None";
    } else {
        return Converter<std::remove_cvref_t<T>>::python_type();
    }
}

template <class T>
PyObject* to_python(T&& value) {
    return Converter<std::decay_t<T>>::cast(std::forward<T>(value));
}

}  // namespace vorn::py

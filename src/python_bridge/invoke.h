// Calls a C++ function with arguments converted from Python: each parameter
// is converted by its type (by value: a converted copy; a reference to a
// bound class: that object, borrowed shared or exclusive by constness), the
// result is converted back, and the borrows end with the call.
#pragma once

#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "common/member_traits.h"
#include "python_bridge/arguments.h"
#include "python_bridge/convert.h"

namespace vorn::py {

template <class P>
struct ArgHolder {
    using Value = std::remove_cvref_t<P>;
    Value value{};
    bool load(PyObject* src) { return Converter<Value>::load(src, value); }
    Value&& get() { return std::move(value); }
};

// A reference to a bound object: the object itself, borrowed for the call.
template <class P>
    requires(std::is_reference_v<P> && BoundClass<std::remove_cvref_t<P>>)
struct ArgHolder<P> {
    using Value = std::remove_cvref_t<P>;
    static constexpr Access access = std::is_const_v<std::remove_reference_t<P>> ? Access::Shared : Access::Exclusive;
    Value* target = nullptr;
    std::optional<BorrowGuard> guard;
    bool load(PyObject* src) {
        if (Py_TYPE(src) != type_object<Value>()) return msg::conversion_error(src, class_name<Value>());
        guard.emplace(src, access);
        target = &value_of<Value>(src);
        return true;
    }
    P get() { return *target; }
};

// The number of leading parameters without a default: a std::optional
// parameter may be omitted (None).
template <class... P>
constexpr std::size_t required_count() {
    constexpr bool optional[] = {kIsOptional<std::remove_cvref_t<P>>..., false};
    std::size_t count = 0;
    while (count < sizeof...(P) && !optional[count]) ++count;
    return count;
}

template <class Tuple, std::size_t... I>
bool load_arguments(Tuple& holders, PyObject** slots, const CallSignature& signature, std::index_sequence<I...>) {
    auto load_one = [&](auto& holder, std::size_t index) {
        if (!slots[index]) return true;
        if (holder.load(slots[index])) return true;
        msg::prefix_argument_error(signature.names[index]);
        return false;
    };
    (void)load_one;  // unused when the callable takes no parameters
    return (load_one(std::get<I>(holders), I) && ...);
}

template <class R>
PyObject* result_to_python(auto&& call) {
    if constexpr (std::is_void_v<R>) {
        call();
        Py_RETURN_NONE;
    } else {
        return to_python(call());
    }
}

// Converts the bound slots into the parameters P... and calls `fn(prefix..., P...)`.
template <class R, class... P, class Fn>
PyObject* call_with_slots(const CallSignature& signature, PyObject** slots, Fn&& fn) {
    std::tuple<ArgHolder<P>...> holders;
    if (!load_arguments(holders, slots, signature, std::index_sequence_for<P...>{})) return nullptr;
    return result_to_python<R>([&]() -> decltype(auto) {
        return std::apply([&](auto&... holder) -> decltype(auto) { return fn(holder.get()...); }, holders);
    });
}

template <auto Fn>
struct CallMeta {
    static inline CallSignature signature;
};

template <class F>
struct FunctionTraits;
template <class R, class... P>
struct FunctionTraits<R (*)(P...)> {
    using Return = R;
    using Params = std::tuple<P...>;
};

// Free functions and static methods: every parameter comes from Python.
template <auto Fn>
PyObject* function_trampoline(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        return [&]<class R, class... P>(R (*fn)(P...)) -> PyObject* {
            const CallSignature& signature = CallMeta<Fn>::signature;
            PyObject* slots[sizeof...(P) + 1];
            if (!bind_arguments(signature, args, static_cast<std::size_t>(nargs), kwnames, slots)) return nullptr;
            return call_with_slots<R, P...>(signature, slots, fn);
        }(Fn);
    });
}

// Methods: the first parameter is the receiver, borrowed before the other
// arguments are converted (exclusive when the function may change it).
template <auto Fn>
PyObject* method_trampoline(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        return [&]<class R, class S, class... P>(R (*fn)(S&, P...)) -> PyObject* {
            using Self = std::remove_const_t<S>;
            const CallSignature& signature = CallMeta<Fn>::signature;
            BorrowGuard guard(self, std::is_const_v<S> ? Access::Shared : Access::Exclusive);
            S& receiver = value_of<Self>(self);
            PyObject* slots[sizeof...(P) + 1];
            if (!bind_arguments(signature, args, static_cast<std::size_t>(nargs), kwnames, slots)) return nullptr;
            return call_with_slots<R, P...>(signature, slots, [&](auto&&... values) -> decltype(auto) {
                return fn(receiver, std::forward<decltype(values)>(values)...);
            });
        }(Fn);
    });
}

// Constructors: a factory returning the value; the instance is allocated
// only once the value exists.
template <auto Factory>
PyObject* constructor_trampoline(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        return [&]<class R, class... P>(R (*factory)(P...)) -> PyObject* {
            const CallSignature& signature = CallMeta<Factory>::signature;
            PyObject* slots[sizeof...(P) + 1];
            if (!bind_arguments(signature, args, kwargs, slots)) return nullptr;
            // Keyword values are borrowed from a dict that code run by the
            // conversions could reach; they are held for the whole call.
            Ref held[sizeof...(P) + 1];
            for (std::size_t i = 0; i < sizeof...(P); ++i) held[i] = Ref::borrow(slots[i]);
            std::tuple<ArgHolder<P>...> holders;
            if (!load_arguments(holders, slots, signature, std::index_sequence_for<P...>{})) return nullptr;
            R value = std::apply([&](auto&... holder) { return factory(holder.get()...); }, holders);
            return make_instance<R>(type, std::move(value));
        }(Factory);
    });
}

}  // namespace vorn::py

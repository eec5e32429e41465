// Declarative class bindings. One chain per class:
//
//   ClassBuilder<NodeDefinition>("NodeDefinition")
//       .init_field<&NodeDefinition::id>("id")
//       .init_field<&NodeDefinition::memory_lifetime_t2>("memory_lifetime_t2")
//       .done();
//
// A constructor either fills the members themselves, one parameter each, or
// calls a factory (`constructor<&make_x>({...})`) when building the value
// takes more than copying arguments into members. When the parameters are
// fields taken in field order, `init_field` / `optional_init_field` declare
// field and parameter in one line; otherwise `constructor({param<&T::m>(..),
// optional_param<&T::m>(..)})` lists them. Fields bind to struct
// members (read returns a new object, write converts and copies, delete is
// refused); methods, static methods, repr and equality bind to plain
// functions; enumeration-like classes list their members.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/member_traits.h"
#include "python_bridge/class_table.h"
#include "python_bridge/convert.h"
#include "python_bridge/deferred_release.h"
#include "python_bridge/invoke.h"

namespace vorn::py {

PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*);
int refuse_delete(PyObject* value);  // sets AttributeError when value is null; returns -1 then

// Members of T, its own or of a base record.
template <class T, auto Member>
PyObject* get_member(PyObject* self, void*) {
    return guarded<PyObject*>(nullptr, [&] {
        BorrowGuard guard(self, Access::Shared);
        return to_python(value_of<T>(self).*Member);
    });
}

template <class T, auto Member>
int set_member(PyObject* self, PyObject* value, void*) {
    using Value = ValueOf<Member>;
    if (!value) return refuse_delete(value);
    return guarded<int>(-1, [&] {
        Value converted{};
        if (!Converter<Value>::load(value, converted)) return -1;
        BorrowGuard guard(self, Access::Exclusive);
        value_of<T>(self).*Member = std::move(converted);
        return 0;
    });
}

// One constructor parameter bound to a member of T. A required parameter
// must be given; an optional one may be left out or be None, and the member
// then keeps the value of a default-constructed T. Either way a given value
// is converted as the member's type (as what it holds, for a std::optional
// member) and stored in the member.
template <class T>
struct MemberParam {
    const char* name;
    bool optional;
    bool (*load)(PyObject* value, T& record);  // false with a Python error set
    PythonTypeText type;                       // of a given value (None aside)
};

template <auto Member>
bool load_member(PyObject* value, RecordOf<Member>& record) {
    using Held = typename Optionality<ValueOf<Member>>::Value;
    Held converted{};
    if (!Converter<Held>::load(value, converted)) return false;
    record.*Member = std::move(converted);
    return true;
}

template <auto Member>
bool load_member_unless_none(PyObject* value, RecordOf<Member>& record) {
    return value == Py_None || load_member<Member>(value, record);
}

template <auto Member>
MemberParam<RecordOf<Member>> param(const char* name) {
    return {name, false, &load_member<Member>, &python_type_of<typename Optionality<ValueOf<Member>>::Value>};
}

template <auto Member>
MemberParam<RecordOf<Member>> optional_param(const char* name) {
    return {name, true, &load_member_unless_none<Member>,
            &python_type_of<typename Optionality<ValueOf<Member>>::Value>};
}

template <class T>
struct MemberConstructor {
    static constexpr std::size_t kMaxParams = 16;
    static inline std::vector<MemberParam<T>> params;
    static inline CallSignature signature;
};

// Constructors bound to members: a default-constructed value, then each
// given argument converted into its member in parameter order.
template <class T>
PyObject* member_constructor_trampoline(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    using Meta = MemberConstructor<T>;
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject* slots[Meta::kMaxParams + 1];
        if (!bind_arguments(Meta::signature, args, kwargs, slots)) return nullptr;
        const std::size_t count = Meta::params.size();
        // Keyword values are borrowed from a dict that code run by the
        // conversions could reach; they are held for the whole call.
        Ref held[Meta::kMaxParams + 1];
        for (std::size_t i = 0; i < count; ++i) held[i] = Ref::borrow(slots[i]);
        T value{};
        for (std::size_t i = 0; i < count; ++i) {
            if (!slots[i] || Meta::params[i].load(slots[i], value)) continue;
            msg::prefix_argument_error(Meta::signature.names[i]);
            return nullptr;
        }
        return make_instance<T>(type, std::move(value));
    });
}

// Computed attributes: Get(const T&) -> V and Set(T&, V).
template <class T, auto Get>
PyObject* get_property(PyObject* self, void*) {
    return guarded<PyObject*>(nullptr, [&] {
        BorrowGuard guard(self, Access::Shared);
        return to_python(Get(value_of<T>(self)));
    });
}

template <class T, class V, void (*Set)(T&, V)>
int set_property(PyObject* self, PyObject* value, void*) {
    if (!value) return refuse_delete(value);
    return guarded<int>(-1, [&] {
        std::remove_cvref_t<V> converted{};
        if (!Converter<std::remove_cvref_t<V>>::load(value, converted)) return -1;
        BorrowGuard guard(self, Access::Exclusive);
        Set(value_of<T>(self), std::move(converted));
        return 0;
    });
}

template <class T, auto Fn>
PyObject* repr_slot(PyObject* self) {
    return guarded<PyObject*>(nullptr, [&] {
        BorrowGuard guard(self, Access::Shared);
        return to_python(std::string(Fn(value_of<T>(self))));
    });
}

template <class T, auto Equal>
PyObject* richcompare_slot(PyObject* self, PyObject* other, int op) {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
    return guarded<PyObject*>(nullptr, [&] {
        BorrowGuard left(self, Access::Shared);
        BorrowGuard right(other, Access::Shared);
        bool equal = Equal(value_of<T>(self), value_of<T>(other));
        return PyBool_FromLong(op == Py_EQ ? equal : !equal);
    });
}

template <class T>
void dealloc_slot(PyObject* self) {
    destroy_instance<T>(self);
}

// Classes whose values hold Python objects take part in cyclic garbage
// collection, so a cycle through such a member is collected, not leaked.
// Their values may hold each other in long chains, which are released one
// after another instead of recursively.
template <class T>
void gc_dealloc_slot(PyObject* self) {
    PyObject_GC_UnTrack(self);
    release_without_recursion(self, &destroy_instance<T>);
}

template <class T, auto... Refs>
int traverse_slot(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(reinterpret_cast<PyObject*>(Py_TYPE(self)));
    T& value = value_of<T>(self);
    for (PyObject* object : {(value.*Refs).get()...}) Py_VISIT(object);
    return 0;
}

template <class T, auto... Refs>
int clear_slot(PyObject* self) {
    T& value = value_of<T>(self);
    ((value.*Refs = Ref()), ...);
    return 0;
}

template <class T>
class ClassBuilder {
public:
    explicit ClassBuilder(const char* name, const char* doc = "") : table_(new ClassTable), body_(doc) {
        table_->name = name;
        table_->basicsize = static_cast<int>(sizeof(Instance<T>));
        table_->type = &TypeSlot<T>::type;
        table_->slots.push_back({Py_tp_dealloc, reinterpret_cast<void*>(&dealloc_slot<T>)});
    }

    template <auto Factory>
    ClassBuilder& constructor(std::initializer_list<const char*> params) {
        signature_ = describe<Factory>(std::string(table_->name) + ".__new__", params, false);
        record_types<Factory>("__new__", params, 0, false);
        table_->slots.push_back({Py_tp_new, reinterpret_cast<void*>(&constructor_trampoline<Factory>)});
        has_constructor_ = true;
        return *this;
    }

    // Required parameters come first; the optional ones follow.
    ClassBuilder& constructor(std::initializer_list<MemberParam<T>> params) {
        return member_constructor(params.begin(), params.end());
    }

    // A field that is also the next constructor parameter, for the common
    // class whose constructor takes some of its fields in field order.
    template <auto Member>
    ClassBuilder& init_field(const char* name, const char* doc = nullptr) {
        init_params_.push_back(param<Member>(name));
        return field<Member>(name, doc);
    }

    // The same with an optional parameter (left out or None keeps the
    // member's default).
    template <auto Member>
    ClassBuilder& optional_init_field(const char* name, const char* doc = nullptr) {
        init_params_.push_back(optional_param<Member>(name));
        return field<Member>(name, doc);
    }

    template <auto Member>
    ClassBuilder& field(const char* name, const char* doc = nullptr) {
        static_assert(std::is_base_of_v<RecordOf<Member>, T>, "a field is a member of the class or of a base");
        table_->getset.push_back({name, &get_member<T, Member>, &set_member<T, Member>, doc, nullptr});
        table_->python_types.emplace_back(name, &python_type_of<ValueOf<Member>>);
        return *this;
    }

    // An attribute computed by a getter and a setter instead of a member.
    template <auto Get, auto Set>
    ClassBuilder& property(const char* name, const char* doc = nullptr) {
        table_->getset.push_back({name, &get_property<T, Get>, setter_of<Set>(Set), doc, nullptr});
        table_->python_types.emplace_back(name, &python_type_of<typename FunctionTraits<decltype(Get)>::Return>);
        return *this;
    }

    // A method whose first parameter is the receiver (`const T&` reads, `T&` changes it).
    template <auto Fn>
    ClassBuilder& method(const char* name, std::initializer_list<const char*> params, const char* doc = "") {
        std::string signature = describe<Fn>(table_->name + "." + name, params, true, 1);
        record_types<Fn>(name, params, 1, true);
        table_->methods.push_back({name,
                                   reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&method_trampoline<Fn>)),
                                   METH_FASTCALL | METH_KEYWORDS, table_->keep(signed_doc(name, signature, doc))});
        return *this;
    }

    template <auto Fn>
    ClassBuilder& static_method(const char* name, std::initializer_list<const char*> params, const char* doc = "") {
        std::string signature = describe<Fn>(table_->name + "." + name, params, false);
        record_types<Fn>(name, params, 0, true);
        table_->methods.push_back(
            {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&function_trampoline<Fn>)),
             METH_FASTCALL | METH_KEYWORDS | METH_STATIC, table_->keep(signed_doc(name, signature, doc))});
        return *this;
    }

    template <auto Fn>
    ClassBuilder& repr() {
        table_->slots.push_back({Py_tp_repr, reinterpret_cast<void*>(&repr_slot<T, Fn>)});
        return *this;
    }

    // Field-wise equality; other comparisons and other types are NotImplemented,
    // and instances become unhashable.
    template <auto Equal>
    ClassBuilder& equality() {
        table_->slots.push_back({Py_tp_richcompare, reinterpret_cast<void*>(&richcompare_slot<T, Equal>)});
        table_->slots.push_back({Py_tp_hash, reinterpret_cast<void*>(&PyObject_HashNotImplemented)});
        return *this;
    }

    // Declares the members that hold Python objects (of type Ref).
    template <auto... Refs>
    ClassBuilder& python_references() {
        table_->flags |= Py_TPFLAGS_HAVE_GC;
        for (PyType_Slot& slot : table_->slots) {
            if (slot.slot == Py_tp_dealloc) slot.pfunc = reinterpret_cast<void*>(&gc_dealloc_slot<T>);
        }
        table_->slots.push_back({Py_tp_traverse, reinterpret_cast<void*>(&traverse_slot<T, Refs...>)});
        table_->slots.push_back({Py_tp_clear, reinterpret_cast<void*>(&clear_slot<T, Refs...>)});
        return *this;
    }

    // Enumeration-like class: members become class attributes created with
    // the type; each member's repr is "Class.Member".
    ClassBuilder& members(std::initializer_list<std::pair<const char*, T>> members) {
        static std::vector<std::pair<const char*, T>> table;
        static std::string class_name;
        table.assign(members.begin(), members.end());
        class_name = table_->name;
        for (const auto& [name, value] : table) {
            T member = value;
            table_->class_attributes.emplace_back(
                name, [member](PyTypeObject* type) { return make_instance<T>(type, member); });
        }
        table_->slots.push_back({Py_tp_repr, reinterpret_cast<void*>(+[](PyObject* self) -> PyObject* {
                                     for (const auto& [name, value] : table) {
                                         if (value == value_of<T>(self)) {
                                             std::string text = class_name + "." + name;
                                             return PyUnicode_FromStringAndSize(text.data(),
                                                                                static_cast<Py_ssize_t>(text.size()));
                                         }
                                     }
                                     return PyUnicode_FromString(class_name.c_str());
                                 })});
        return *this;
    }

    ClassTable& done() {
        if (!init_params_.empty()) member_constructor(init_params_.begin(), init_params_.end());
        if (has_constructor_) {
            table_->doc = signed_doc(table_->name, signature_, body_);
        } else {
            table_->doc = body_;
            table_->slots.push_back({Py_tp_new, reinterpret_cast<void*>(&no_constructor)});
        }
        TypeSlot<T>::table = table_;
        return *table_;
    }

private:
    template <class It>
    ClassBuilder& member_constructor(It first, It last) {
        using Meta = MemberConstructor<T>;
        if (has_constructor_) throw std::logic_error("a class has one constructor");
        if (static_cast<std::size_t>(last - first) > Meta::kMaxParams) {
            throw std::logic_error("too many constructor parameters");
        }
        Meta::params.assign(first, last);
        CallSignature& signature = Meta::signature;
        signature.display = std::string(table_->name) + ".__new__";
        signature.names.clear();
        signature.required = 0;
        for (const MemberParam<T>& param : Meta::params) {
            if (!param.optional && signature.required < signature.names.size()) {
                throw std::logic_error("a required constructor parameter follows an optional one");
            }
            signature.names.push_back(param.name);
            if (!param.optional) ++signature.required;
            table_->python_types.emplace_back(std::string("__new__.") + param.name, param.type);
        }
        signature_ = text_signature(signature.names, signature.required, false);
        table_->slots.push_back({Py_tp_new, reinterpret_cast<void*>(&member_constructor_trampoline<T>)});
        has_constructor_ = true;
        return *this;
    }

    // Records the call signature of Fn (skipping `skip` receiver parameters)
    // and returns its text signature.
    template <auto Fn>
    std::string describe(std::string display, std::initializer_list<const char*> params, bool with_self,
                         std::size_t skip = 0) {
        CallSignature& signature = CallMeta<Fn>::signature;
        signature.display = std::move(display);
        signature.names.assign(params.begin(), params.end());
        signature.required = required_of(Fn, skip);
        return text_signature(signature.names, signature.required, with_self);
    }

    // The types of Fn's parameters after `skip` receivers, under the given
    // names, and of its result unless it is a constructor.
    template <auto Fn>
    void record_types(const std::string& name, std::initializer_list<const char*> params, std::size_t skip,
                      bool with_result) {
        using Traits = FunctionTraits<decltype(Fn)>;
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            const PythonTypeText types[] = {&python_type_of<std::tuple_element_t<I, typename Traits::Params>>...,
                                            nullptr};
            std::size_t index = skip;
            for (const char* param : params) {
                if (index >= sizeof...(I)) throw std::logic_error("more parameter names than parameters");
                table_->python_types.emplace_back(name + "." + param, types[index++]);
            }
        }(std::make_index_sequence<std::tuple_size_v<typename Traits::Params>>{});
        if (with_result) table_->python_types.emplace_back(name, &python_type_of<typename Traits::Return>);
    }

    template <auto Set, class V>
    static setter setter_of(void (*)(T&, V)) {
        return &set_property<T, V, Set>;
    }

    template <class R, class... P>
    static std::size_t required_of(R (*)(P...), std::size_t skip) {
        return required_count<P...>() - (skip > 0 && sizeof...(P) > 0 ? 1 : 0);
    }

    ClassTable* table_;
    const char* body_;
    std::string signature_;
    bool has_constructor_ = false;
    std::vector<MemberParam<T>> init_params_;  // from init_field, in order
};

}  // namespace vorn::py

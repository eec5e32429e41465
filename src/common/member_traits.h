// Compile-time facts about pointers to data members and std::optional,
// shared by the JSON record tables and the Python class bindings.
#pragma once

#include <optional>

namespace vorn {

// The record and value type of a pointer to a data member.
template <class>
struct MemberOf;
template <class R, class T>
struct MemberOf<T R::*> {
    using Record = R;
    using Value = T;
};

template <auto Member>
using RecordOf = typename MemberOf<decltype(Member)>::Record;
template <auto Member>
using ValueOf = typename MemberOf<decltype(Member)>::Value;

// Whether T is a std::optional, and the type it holds (T itself otherwise).
template <class T>
struct Optionality {
    static constexpr bool kOptional = false;
    using Value = T;
};
template <class T>
struct Optionality<std::optional<T>> {
    static constexpr bool kOptional = true;
    using Value = T;
};

template <class T>
inline constexpr bool kIsOptional = Optionality<T>::kOptional;

}  // namespace vorn

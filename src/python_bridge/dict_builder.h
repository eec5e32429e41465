// Builds a Python dict key by key, in insertion order, converting each value
// by its C++ type. Throws ErrorAlreadySet when Python reports a failure.
#pragma once

#include "python_bridge/convert.h"

namespace vorn::py {

class DictBuilder {
public:
    DictBuilder() : dict_(Ref::steal(PyDict_New())) {
        if (!dict_) throw ErrorAlreadySet{};
    }

    template <class V>
    DictBuilder& set(const char* key, const V& value) {
        Ref item = Ref::steal(to_python(value));
        if (!item || PyDict_SetItemString(dict_.get(), key, item.get()) < 0) throw ErrorAlreadySet{};
        return *this;
    }

    Ref take() { return std::move(dict_); }

private:
    Ref dict_;
};

}  // namespace vorn::py

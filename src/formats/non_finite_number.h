// Refusing reals that JSON cannot hold. A NaN or an infinity in a typed
// record would be written as null, which the reader then refuses for a
// required member and reads as "not given" for an optional one, so the
// written file would not read back as what was saved. Writing such a record
// fails instead, naming the record and the member.
#pragma once

#include <string>
#include <string_view>

#include "common/errors.h"

namespace vorn {

namespace json {

// Thrown by the writer of a real member; the record writer that holds the
// member turns it into NonFiniteMemberError with the names it knows.
struct NonFiniteValue {
    double value;
};

}  // namespace json

// An operation error (RuntimeError in Python): the record and member that
// held the value. Thrown before any byte is written anywhere.
class NonFiniteMemberError : public OperationError {
public:
    NonFiniteMemberError(std::string_view record, std::string_view member, double value);
};

}  // namespace vorn

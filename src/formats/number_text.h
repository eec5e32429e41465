// Text forms of 64-bit floats. All three start from the shortest decimal
// digits that read back to the same value and differ only in layout:
//
//   json form   written into JSON documents: always a fractional part or an
//               exponent; decimal notation while the decimal exponent lies in
//               -5..15, exponent notation outside (1.0, 0.95, 0.00001, 1e-6,
//               1000000000000000.0, 1e16, 1.5e-7); non-finite values "null".
//   plain form  never an exponent and no fractional part when integral
//               (10, 0.5, -5, 0.0000001, 100000000000000000000); "NaN",
//               "inf", "-inf".
//   debug form  exponent notation for a non-zero magnitude below 1e-4 or at
//               least 1e16 (1e-7, 2.5e-5, 1e16), otherwise decimal with at
//               least one fractional digit (100.0, 0.95, 0.0001); "NaN",
//               "inf", "-inf".
//
// Exponents are written with a lower-case e, no plus sign and no leading
// zeros. A negative zero keeps its sign in every form.
#pragma once

#include <string>

namespace vorn {

std::string json_float_text(double value);
void append_json_float(std::string& out, double value);

std::string plain_number_text(double value);

std::string debug_number_text(double value);

}  // namespace vorn

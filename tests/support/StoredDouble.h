#pragma once

#include <string>

namespace patchpav::testing {

// The 8 bytes that a Paradox Number field holds for the value, written out independently of the
// table layer so that tests can find amounts in a file or patch them in: big-endian, the sign bit
// set for positives, every bit inverted for negatives, so that the bytes sort as the numbers do.
// A negative zero comes out inverted like any negative (7F FF ...), which the table layer never
// writes; a blank field is 8 zero bytes, which no value gives.
std::string StoredDouble(double value);

}  // namespace patchpav::testing

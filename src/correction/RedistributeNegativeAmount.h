#pragma once

#include <array>

namespace patchpav {

// The seven amounts MontantSS1..MontantSS7 of one accounting row, in column order.
using Amounts = std::array<double, 7>;

enum class RedistributionOutcome {
  NothingNegative,  // no amount below zero: the row is not to be written
  Redistributed,    // the first negative amount was moved onto the others
  NotFinite,        // an amount is NaN or infinite: only a damaged table holds one, and no
                    // arithmetic on it could be trusted, so the row is left as it is
};

struct Redistribution {
  RedistributionOutcome outcome = RedistributionOutcome::NothingNegative;
  // 1..7: the column of the first negative amount; 0 when there is none.
  int negativePosition = 0;
  // The amounts to write back; equal to the input unless outcome is Redistributed.
  Amounts corrected{};
};

// Moves the first negative amount of a row onto the row's other amounts, so that none stays
// negative and the row's total is kept wherever the total allows it:
//  1. an amount strictly greater than the remainder absorbs it whole (the first one in column
//     order, positions before the negative one included);
//  2. otherwise the amounts are consumed in column order until one is strictly greater than what
//     is left; a remainder that nothing can take is dropped and the row ends all zero.
// Every comparison is made against the amounts as read. A second negative amount is either
// consumed on the way or left for the next application.
Redistribution RedistributeNegativeAmount(const Amounts& amounts);

}  // namespace patchpav

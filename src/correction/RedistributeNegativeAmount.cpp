#include "correction/RedistributeNegativeAmount.h"

#include <cmath>

namespace patchpav {

Redistribution RedistributeNegativeAmount(const Amounts& amounts) {
  Redistribution result;
  result.corrected = amounts;

  int k = -1;
  for (int i = 0; i < 7; ++i) {
    if (amounts[i] < 0) {  // -0.0 compares equal to 0, so it is not negative
      k = i;
      break;
    }
  }
  for (double amount : amounts) {
    if (!std::isfinite(amount)) {
      // A NaN would turn the remainder into NaN and an infinity would swallow every other amount:
      // either way the row would be wiped. Leave it for a technician instead.
      result.outcome = RedistributionOutcome::NotFinite;
      result.negativePosition = k + 1;
      return result;
    }
  }
  if (k < 0) return result;

  result.outcome = RedistributionOutcome::Redistributed;
  result.negativePosition = k + 1;
  Amounts& out = result.corrected;
  double remainder = -amounts[k];
  out[k] = 0.0;

  // Whole absorption: the first amount strictly greater than the remainder takes all of it.
  for (int j = 0; j < 7; ++j) {
    if (j != k && amounts[j] > remainder) {
      out[j] = amounts[j] - remainder;
      return result;
    }
  }

  // Consuming pass: amounts that cannot take the rest are used up in column order (a further
  // negative amount makes the remainder grow) until one is strictly greater than what is left.
  // There is no early stop at a remainder of 0: the next amount then takes up 0 and stays as it is.
  for (int j = 0; j < 7; ++j) {
    if (j == k) continue;
    if (amounts[j] > remainder) {
      out[j] = amounts[j] - remainder;
      return result;
    }
    remainder -= amounts[j];
    out[j] = 0.0;
  }
  // Nothing could take what is left: it is dropped, and every amount is now 0.
  return result;
}

}  // namespace patchpav

#pragma once
// The descriptive statistics block of the report.
#include "ar/dstat.hpp"

namespace quorvel {

// Writes mean, standard deviation, skewness, kurtosis, maximum and minimum
// of a series between a line of "=" and a line of "+".
void dwrstat(int unit, const Moments& m);

}  // namespace quorvel

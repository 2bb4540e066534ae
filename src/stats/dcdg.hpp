#pragma once

namespace quorvel {

// The standard normal distribution function.
double dcdg(double x);

}  // namespace quorvel

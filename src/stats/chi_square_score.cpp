#include "stats/chi_square_score.hpp"

#include <cmath>

namespace quorvel {

double chi_square_score(double x, double k) {
  if (!(k > 0.0) || !std::isfinite(k) || !(x >= 0.0)) return kNoScore;  // NaN included
  if (std::isinf(x)) return -kNoScore;  // a sum beyond the double range is as extreme as it gets
  const double v = 2.0 / (9.0 * k);
  return (std::cbrt(x / k) - (1.0 - v)) / std::sqrt(v);
}

}  // namespace quorvel

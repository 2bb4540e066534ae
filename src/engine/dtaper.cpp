#include "engine/dtaper.hpp"

#include <cmath>

#include "common/array_view.hpp"
#include "common/record_writer.hpp"

namespace quorvel {

void dtaper(std::span<double> w_store, int M, double pct, double& taperfac, int& ntaper, int unit) {
  if (pct <= 0.0) return;
  if (pct > 50.0) {
    writel(unit, "* ERROR *  Improper % for tapering: ", pct);
    return;
  }
  ntaper = static_cast<int>(std::round(pct * M * 0.005));  // halves away from zero
  if (ntaper > M / 4) {
    writel(unit, "Taper size ", ntaper, " > lb/4. Increase data frame ", M);
    return;
  }
  View1<double> w(w_store.data(), M);
  const double pi = std::acos(-1.0);
  const double q = 1.0 / (2.0 * (ntaper + 1));
  double s = 0.0;
  for (int i = 1; i <= ntaper; ++i) {
    w(i) = std::sin((i * pi) * q);
    w(M + 1 - i) = w(i);
    s = s + w(i) * w(i);
  }
  taperfac = (2.0 * s + (M - 2 * ntaper)) / M;
  for (int i = ntaper + 1; i <= M - ntaper; ++i) w(i) = 1.0;
}

}  // namespace quorvel

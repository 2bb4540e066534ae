#include "ar/dport.hpp"

#include <cmath>

#include "stats/cdchi.hpp"

namespace quorvel {

int dport_lags(int n, float e) {
  const float power = std::pow(static_cast<float>(n), e);
  return static_cast<int>(std::round(power));
}

float dport(std::span<const double> r, int n, float e, int unit) {
  const int h = dport_lags(n, e);
  const float df = static_cast<float>(h);
  const double* x = r.data();
  // A lag of n or more has no pairs; it adds nothing rather than 0/0.
  const int last = h < n ? h : n - 1;
  // Four lags share one sweep over x; each S_k is still summed from j = 1
  // upwards on its own, and Q takes the lags in order.
  double q = 0.0;
  for (int k0 = 1; k0 <= last; k0 += 4) {
    const int width = last - k0 + 1 < 4 ? last - k0 + 1 : 4;
    double s[4] = {0.0, 0.0, 0.0, 0.0};
    const int common = n - (k0 + width - 1);  // j below this has all lags in range
    if (width == 4) {
      for (int j = 0; j < common; ++j) {
        const double xj = x[j];
        s[0] += xj * x[j + k0];
        s[1] += xj * x[j + k0 + 1];
        s[2] += xj * x[j + k0 + 2];
        s[3] += xj * x[j + k0 + 3];
      }
    } else {
      for (int i = 0; i < width; ++i)
        for (int j = 0; j < common; ++j) s[i] += x[j] * x[j + k0 + i];
    }
    for (int i = 0; i < width; ++i) {
      const int k = k0 + i;
      for (int j = common; j < n - k; ++j) s[i] += x[j] * x[j + k];
      q += s[i] * (s[i] / (n - k));
    }
  }
  float prob = 0.0f;  // stays 0 (p = 1) if cdchi rejects the statistic
  cdchi(static_cast<float>(q), df, prob, unit);
  return 1.0f - prob;
}

}  // namespace quorvel

#include "engine/size.hpp"

#include <algorithm>

namespace quorvel {
namespace {

// The sum of the integers a, a + 1, ..., b (0 when b < a).
long long series(long long a, long long b) { return b < a ? 0 : (a + b) * (b - a + 1) / 2; }

}  // namespace

// For each k1 the counts over k2 = lo..k1 come in closed form: with
// H = hi - k1, the k3 > 0 set has min(k2, H - k2) - lo + 1 values for
// k2 < H (rising while k2 <= H/2, falling after), and the k3 < 0 set has
// k2 - max(lo, k2 - H) values.
GridCounts size(int lo_, int hi_, int M) {
  GridCounts c;
  const long long lo = lo_, hi = hi_;
  const long long alias_pos_top = M / 6;                    // aliasing k3 > 0 half: k1 <= M/6
  const long long alias_neg_bottom = std::max<long long>(M / 4, lo);  // k3 < 0 half: k1 >= M/4
  for (long long k1 = lo; k1 <= hi; ++k1) {
    const long long H = hi - k1;
    // k3 > 0: rising part k2 = lo..min(k1, H/2), falling part up to min(k1, H - lo).
    const long long rise_end = std::min(k1, H / 2);
    const long long fall_begin = std::max(lo, H / 2 + 1), fall_end = std::min(k1, H - lo);
    const long long pos = series(1, rise_end - lo + 1) +
                          (fall_end < fall_begin ? 0 : series(H - lo + 1 - fall_end, H - lo + 1 - fall_begin));
    if (rise_end >= lo) c.k3pos = std::max(c.k3pos, rise_end);
    if (fall_end >= fall_begin) c.k3pos = std::max(c.k3pos, H - fall_begin);
    // k3 < 0: k2 - lo values while k2 <= lo + H, then H values each.
    const long long near_end = std::min(k1, lo + H);
    const long long neg = series(0, near_end - lo) + (k1 > near_end ? (k1 - near_end) * H : 0);
    if (neg > 0) {
      // The largest m of this k1 comes from the largest k2 that has values.
      const bool last_has_values = k1 <= lo + H ? k1 > lo : H > 0;
      c.k3neg = std::max(c.k3neg, (last_has_values ? k1 : near_end) - 1);
    }
    c.npos += pos;
    c.nneg += neg;
    if (k1 <= alias_pos_top) c.na += pos;
    if (k1 >= alias_neg_bottom) c.na += neg;
  }
  return c;
}

}  // namespace quorvel

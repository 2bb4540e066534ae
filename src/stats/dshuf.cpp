#include "stats/dshuf.hpp"

#include <algorithm>
#include <new>
#include <numeric>
#include <random>
#include <vector>

#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"

namespace quorvel {

namespace {
std::mt19937 generator;  // the program-wide state of the uniform draws
}  // namespace

float uniform_draw() { return static_cast<float>(generator() >> 8) * 0x1p-24f; }

void restart_uniform_draws() { generator = std::mt19937(); }

void dshuf(std::span<const double> x, std::span<double> y, int unit) {
  const std::size_t n = x.size();
  std::vector<float> u;
  std::vector<int> k;
  try {
    u.resize(n);
    k.resize(n);
  } catch (const std::bad_alloc&) {
    writel(unit, "Unable to allocate work space for arrays in dshuf");
    writel(kConsoleUnit, "Unable to allocate work space for arrays in dshuf");
    stop();
  }
  for (float& draw : u) draw = uniform_draw();
  std::iota(k.begin(), k.end(), 0);
  std::stable_sort(k.begin(), k.end(), [&u](int a, int b) { return u[a] < u[b]; });
  for (std::size_t i = 0; i < n; ++i) y[i] = x[k[i]];
}

}  // namespace quorvel

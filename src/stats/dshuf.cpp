#include "stats/dshuf.hpp"

#include <algorithm>
#include <cstdint>
#include <new>
#include <random>
#include <vector>

#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"

namespace quorvel {
namespace {
std::mt19937 generator;  // the program-wide state of the uniform draws

// The 24 high bits of the next value of the generator.
std::uint32_t next_draw() { return generator() >> 8; }

}  // namespace

float uniform_draw() { return static_cast<float>(next_draw()) * 0x1p-24f; }

void restart_uniform_draws() { generator = std::mt19937(); }

void dshuf(std::span<const double> x, std::span<double> y, int unit) {
  const std::size_t n = x.size();
  // Each draw is a 24-bit integer times 2^-24, so ordering the draws with
  // ties in index order is ordering the keys (draw << 32 | index).
  std::vector<std::uint64_t> keys;
  try {
    keys.resize(n);
  } catch (const std::bad_alloc&) {
    writel(unit, "Unable to allocate work space for arrays in dshuf");
    writel(kConsoleUnit, "Unable to allocate work space for arrays in dshuf");
    stop();
  }
  for (std::size_t i = 0; i < n; ++i) keys[i] = static_cast<std::uint64_t>(next_draw()) << 32 | i;
  std::sort(keys.begin(), keys.end());
  for (std::size_t i = 0; i < n; ++i) y[i] = x[keys[i] & 0xffffffffu];
}

}  // namespace quorvel

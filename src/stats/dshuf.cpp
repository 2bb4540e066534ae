#include "stats/dshuf.hpp"

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
// A library call's own generator, on the thread that makes the call.
thread_local std::mt19937* own_generator = nullptr;

// The 24 high bits of the next value of the generator.
std::uint32_t next_draw() { return (own_generator ? *own_generator : generator)() >> 8; }

}  // namespace

float uniform_draw() { return static_cast<float>(next_draw()) * 0x1p-24f; }

void restart_uniform_draws() { generator = std::mt19937(); }

void use_own_draws(std::mt19937* own) { own_generator = own; }

void dshuf(std::span<const double> x, std::span<double> y, int unit) {
  const std::size_t n = x.size();
  std::vector<std::uint32_t> draws, sorted;
  std::vector<std::uint32_t> index, sorted_index;
  try {
    draws.resize(n);
    sorted.resize(n);
    index.resize(n);
    sorted_index.resize(n);
  } catch (const std::bad_alloc&) {
    writel(unit, "Unable to allocate work space for arrays in dshuf");
    writel(kConsoleUnit, "Unable to allocate work space for arrays in dshuf");
    stop_for_memory();
  }
  for (std::size_t i = 0; i < n; ++i) {
    draws[i] = next_draw();
    index[i] = static_cast<std::uint32_t>(i);
  }
  // Each draw is a 24-bit integer times 2^-24: a stable radix sort of the
  // integers, a byte at a time from the lowest, orders the draws with ties
  // kept in index order.
  for (int shift = 0; shift < 24; shift += 8) {
    std::size_t start[257] = {};
    for (std::uint32_t d : draws) ++start[((d >> shift) & 0xffu) + 1];
    for (int b = 0; b < 256; ++b) start[b + 1] += start[b];
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t to = start[(draws[i] >> shift) & 0xffu]++;
      sorted[to] = draws[i];
      sorted_index[to] = index[i];
    }
    draws.swap(sorted);
    index.swap(sorted_index);
  }
  for (std::size_t i = 0; i < n; ++i) y[i] = x[index[i]];
}

}  // namespace quorvel

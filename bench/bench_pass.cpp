// One test pass of the full band of 256-point frames over 65,536 values:
// 375,914 trispectrum values and 256 frames. Reports the estimator's
// value-frame updates per second and the time of the normalisation and of a
// whole pass.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/engine_arrays.hpp"
#include "engine/p234.hpp"
#include "engine/size.hpp"
#include "engine/triscale.hpp"
#include "engine/trisrun.hpp"

namespace quorvel {
namespace {

RunParameters bench_geometry() {
  RunParameters p;
  p.N = 65536;
  p.M = 256;
  p.lo = 1;
  p.hi = 128;
  p.ne = p.hi - p.lo + 1;
  const GridCounts c = size(p.lo, p.hi, p.M);
  p.npos = c.npos;
  p.nneg = c.nneg;
  p.na = c.na;
  p.ntr = c.npos + c.nneg + c.na;
  p.k3pos = c.k3pos;
  p.k3neg = c.k3neg;
  p.taper = 10.0f;
  p.quant = 0.9f;
  return p;
}

// A fixed-seed nonlinear series (squared noise through a short filter), so
// lambda-hat > 0 and every p2chi call runs its series.
std::vector<double> bench_series(int n) {
  std::uint64_t s = 0x2545F4914F6CDD1Dull;
  auto uniform = [&] {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return (static_cast<double>(s >> 11) + 0.5) * 0x1.0p-53;
  };
  std::vector<double> x(n);
  double prev = 0.0;
  for (double& v : x) {
    const double e = std::sqrt(-2.0 * std::log(uniform())) * std::cos(6.283185307179586 * uniform());
    v = e * e - 1.0 + 0.6 * prev;
    prev = e;
  }
  return x;
}

struct Setup {
  RunParameters p = bench_geometry();
  std::vector<double> series = bench_series(p.N);
  FftTable v;
  EngineArrays a;
  Setup() {
    cffti(p.M, v);
    if (!allocate_engine_arrays(p, a)) throw std::bad_alloc();
  }
};

void BM_Estimator(benchmark::State& state) {
  Setup s;
  for (auto _ : state) {
    p234(s.series, s.v, s.p, s.a, 0, 6);
    benchmark::DoNotOptimize(s.a.tr.data());
  }
  const double updates = static_cast<double>(s.p.ntr) * (s.p.N / s.p.M);
  state.counters["value_frame_updates_per_s"] =
      benchmark::Counter(updates, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Estimator)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Normalisation(benchmark::State& state) {
  Setup s;
  PassResults r;
  trisrun(s.series, s.v, s.p, s.a, r, 6);  // index tables, taper
  p234(s.series, s.v, s.p, s.a, s.a.ntaper, 6);
  const auto tr = s.a.tr, ti = s.a.ti;
  for (auto _ : state) {
    state.PauseTiming();
    s.a.tr = tr;
    s.a.ti = ti;
    state.ResumeTiming();
    triscale(s.a, s.p, s.a.taperfac, s.a.ntaper, r, 6);
    scalu(s.a, s.p, 6);
  }
  state.counters["lambda"] = r.lambda;
}
BENCHMARK(BM_Normalisation)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Pass(benchmark::State& state) {
  Setup s;
  PassResults r;
  for (auto _ : state) {
    trisrun(s.series, s.v, s.p, s.a, r, 6);
    benchmark::DoNotOptimize(r);
  }
  state.counters["lambda"] = r.lambda;
  state.counters["values"] = s.p.ntr;
}
BENCHMARK(BM_Pass)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quorvel

BENCHMARK_MAIN();

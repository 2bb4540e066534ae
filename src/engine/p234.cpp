#include "engine/p234.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "common/interrupt.hpp"
#include "common/threads.hpp"
#include "engine/engine_arrays.hpp"
#include "engine/grid.hpp"

namespace quorvel {

EstimatorPlan make_estimator_plan(int lo, int hi, int M) {
  EstimatorPlan plan;
  int pos = 0;
  for_each_grid_row(lo, hi, M, [&](const GridRow& row) {
    if (row.count <= 0) return;
    const int k1 = row.k1, k2 = row.k2, first = row.first;
    auto add = [&](bool r3, int f3, bool r4, int f4) {
      plan.rows.push_back({k1, k2, pos, row.count, r3, r4, f3, f4});
      pos += row.count;
    };
    switch (row.part) {
      case GridPart::StationaryPositive:  // F3 = X_k3, F4 = X_{M-(k1+k2+k3)} = R_{k1+k2+k3}
        add(false, first, true, k1 + k2 + first);
        plan.stationary = pos;
        break;
      case GridPart::StationaryNegative:  // F3 = X_{M-m} = R_m, F4 = X_{M-(k1+k2-m)}
        add(true, first, false, M - k1 - k2 + first);
        plan.stationary = pos;
        break;
      case GridPart::AliasingPositive:  // F3 = X_k3, F4 = X_{k1+k2+k3}
        add(false, first, false, k1 + k2 + first);
        break;
      case GridPart::AliasingNegative:  // F3 = R_m, F4 = X_{k1+k2-m} = R_{M-k1-k2+m}
        add(true, first, true, M - k1 - k2 + first);
        break;
    }
  });
  plan.total = pos;
  return plan;
}

FrameChunk::FrameChunk(int M_) : M(M_), stride(M_ + kPad) {
  const std::size_t n = static_cast<std::size_t>(kFrames) * static_cast<std::size_t>(stride);
  xr.assign(n, 0.0);
  xi.assign(n, 0.0);
  rr.assign(n, 0.0);
  ri.assign(n, 0.0);
}

void FrameChunk::store(int c, std::span<const double> f) {
  double* pxr = xr.data() + c * stride;
  double* pxi = xi.data() + c * stride;
  double* prr = rr.data() + c * stride;
  double* pri = ri.data() + c * stride;
  for (int k = 0; k < M; ++k) {
    pxr[k] = f[2 * k];
    pxi[k] = f[2 * k + 1];
    const int j = k == 0 ? 0 : M - k;
    prr[j] = f[2 * k];
    pri[j] = f[2 * k + 1];
  }
}

// Keeps loaded vectors in registers (g++ only; other compilers choose for
// themselves).
#if defined(__GNUC__) && !defined(__clang__)
#define QUORVEL_PIN(on, a, b, c, d) \
  do {                              \
    if constexpr (on) asm("" : "+v"(a), "+v"(b), "+v"(c), "+v"(d)); \
  } while (0)
#else
#define QUORVEL_PIN(on, a, b, c, d) \
  do {                              \
  } while (0)
#endif

namespace {

// Eight lanes of doubles: plain IEEE operations lane by lane (no contraction
// into fused multiply-adds, the build forbids it).
using Vec = double __attribute__((vector_size(64)));
constexpr int kLanes = 8;
constexpr int kBlock = 2 * kLanes;  // values per block
static_assert(FrameChunk::kPad >= kBlock);

// (Vectors pass by reference: by value their ABI depends on the target.)
// Unaligned loads go through memcpy, which every compiler turns into one
// unaligned vector load.
#define lanes(p)                          \
  ({                                      \
    Vec lanes_;                           \
    std::memcpy(&lanes_, (p), sizeof lanes_); \
    lanes_;                               \
  })
inline void store(double* p, const Vec& v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

// The product loop. For each row: the partial product A = ((1/N) X_k1) X_k2
// of every frame, then blocks of kBlock values whose sums stay in registers
// while the frames run in order: P = (A F3) F4, tr += Re P, ti += Im P, each
// complex product written out as (a.re b.re - a.im b.im, a.re b.im + a.im b.re).
//
// kPinLoads keeps each loaded vector in a register for its two uses: left to
// itself the compiler folds every use into a multiply from memory, and the
// doubled unaligned loads, not the arithmetic, then bound the loop.
template <bool kPinLoads>
[[gnu::always_inline]] inline void rows_kernel(const EstimatorPlan& plan, std::size_t row_begin,
                                               std::size_t row_end, const FrameChunk& chunk, int nframes,
                                               double scale, double* tr, double* ti) {
  const std::ptrdiff_t stride = chunk.stride;
  double ar[FrameChunk::kFrames], ai[FrameChunk::kFrames];
  for (std::size_t r = row_begin; r < row_end; ++r) {
    const EstimatorRow& row = plan.rows[r];
    for (int c = 0; c < nframes; ++c) {
      const double x1r = scale * chunk.xr[c * stride + row.k1];
      const double x1i = scale * chunk.xi[c * stride + row.k1];
      const double x2r = chunk.xr[c * stride + row.k2];
      const double x2i = chunk.xi[c * stride + row.k2];
      ar[c] = x1r * x2r - x1i * x2i;
      ai[c] = x1r * x2i + x1i * x2r;
    }
    const double* f3r = (row.f3_reversed ? chunk.rr : chunk.xr).data() + row.f3;
    const double* f3i = (row.f3_reversed ? chunk.ri : chunk.xi).data() + row.f3;
    const double* f4r = (row.f4_reversed ? chunk.rr : chunk.xr).data() + row.f4;
    const double* f4i = (row.f4_reversed ? chunk.ri : chunk.xi).data() + row.f4;
    double* out_r = tr + row.first;
    double* out_i = ti + row.first;
    for (int i0 = 0; i0 < row.length; i0 += kBlock) {
      const int valid = std::min(kBlock, row.length - i0);
      // A short last block computes lanes past the row (on padding or on
      // the neighbouring frequencies) and discards them.
      double sum_r[kBlock] = {}, sum_i[kBlock] = {};
      for (int l = 0; l < valid; ++l) {
        sum_r[l] = out_r[i0 + l];
        sum_i[l] = out_i[i0 + l];
      }
      Vec sr0 = lanes(sum_r), sr1 = lanes(sum_r + kLanes);
      Vec si0 = lanes(sum_i), si1 = lanes(sum_i + kLanes);
      for (int c = 0; c < nframes; ++c) {
        const std::ptrdiff_t o = c * stride + i0;
        const Vec a_r = ar[c] - Vec{};  // x - (+0) is x, signed zeros included
        const Vec a_i = ai[c] - Vec{};
        {
          Vec g3r = lanes(f3r + o), g3i = lanes(f3i + o);
          Vec g4r = lanes(f4r + o), g4i = lanes(f4i + o);
          QUORVEL_PIN(kPinLoads, g3r, g3i, g4r, g4i);
          const Vec br = a_r * g3r - a_i * g3i;
          const Vec bi = a_r * g3i + a_i * g3r;
          sr0 += br * g4r - bi * g4i;
          si0 += br * g4i + bi * g4r;
        }
        {
          Vec g3r = lanes(f3r + o + kLanes), g3i = lanes(f3i + o + kLanes);
          Vec g4r = lanes(f4r + o + kLanes), g4i = lanes(f4i + o + kLanes);
          QUORVEL_PIN(kPinLoads, g3r, g3i, g4r, g4i);
          const Vec br = a_r * g3r - a_i * g3i;
          const Vec bi = a_r * g3i + a_i * g3r;
          sr1 += br * g4r - bi * g4i;
          si1 += br * g4i + bi * g4r;
        }
      }
      store(sum_r, sr0);
      store(sum_r + kLanes, sr1);
      store(sum_i, si0);
      store(sum_i + kLanes, si1);
      for (int l = 0; l < valid; ++l) {
        out_r[i0 + l] = sum_r[l];
        out_i[i0 + l] = sum_i[l];
      }
    }
  }
}


namespace {

bool generic_kernel_only = false;

#ifdef QUORVEL_NO_CLONES
// The sanitizers cannot run load-time resolvers: one plain kernel.
void rows_generic(const EstimatorPlan& plan, std::size_t row_begin, std::size_t row_end,
                  const FrameChunk& chunk, int nframes, double scale, double* tr, double* ti) {
  rows_kernel<false>(plan, row_begin, row_end, chunk, nframes, scale, tr, ti);
}
bool wide_vectors() { return false; }
void rows_wide(const EstimatorPlan&, std::size_t, std::size_t, const FrameChunk&, int, double, double*,
               double*) {}
#else
// The kernel for processors with 512-bit vectors, and one for the others
// built for the vector unit found at load time.
__attribute__((target("arch=x86-64-v4"))) void rows_wide(const EstimatorPlan& plan, std::size_t row_begin,
                                                          std::size_t row_end, const FrameChunk& chunk,
                                                          int nframes, double scale, double* tr, double* ti) {
  rows_kernel<true>(plan, row_begin, row_end, chunk, nframes, scale, tr, ti);
}
__attribute__((target_clones("avx2", "default"))) void rows_generic(const EstimatorPlan& plan,
                                                                    std::size_t row_begin, std::size_t row_end,
                                                                    const FrameChunk& chunk, int nframes,
                                                                    double scale, double* tr, double* ti) {
  rows_kernel<false>(plan, row_begin, row_end, chunk, nframes, scale, tr, ti);
}
bool wide_vectors() {
  static const bool wide = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                           __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
                           __builtin_cpu_supports("avx512cd");
  return wide;
}
#endif

}  // namespace

void use_generic_estimator_kernel(bool generic) { generic_kernel_only = generic; }

void accumulate_rows(const EstimatorPlan& plan, std::size_t row_begin, std::size_t row_end,
                     const FrameChunk& chunk, int nframes, double scale, double* tr, double* ti) {
  if (wide_vectors() && !generic_kernel_only) {
    rows_wide(plan, row_begin, row_end, chunk, nframes, scale, tr, ti);
  } else {
    rows_generic(plan, row_begin, row_end, chunk, nframes, scale, tr, ti);
  }
}

namespace {

// Splits the rows into `parts` contiguous ranges of about equal work.
std::vector<std::size_t> row_splits(const EstimatorPlan& plan, int parts) {
  long long total = 0;
  for (const EstimatorRow& row : plan.rows) total += row.length + 4;  // + the row's own set-up
  std::vector<std::size_t> splits{0};
  long long done = 0;
  for (std::size_t r = 0; r < plan.rows.size() && static_cast<int>(splits.size()) < parts; ++r) {
    done += plan.rows[r].length + 4;
    if (done * parts >= total * static_cast<long long>(splits.size())) splits.push_back(r + 1);
  }
  splits.push_back(plan.rows.size());
  return splits;
}

}  // namespace

void p234(std::span<const double> series, const FftTable& v, const RunParameters& p,
          EngineArrays& a, int ntaper, int unit) {
  const int M = p.M;
  std::fill(a.sp.begin(), a.sp.end(), 0.0);
  std::fill(a.tr.begin(), a.tr.end(), 0.0);
  std::fill(a.ti.begin(), a.ti.end(), 0.0);
  const int K = p.N / M;  // the last N mod M observations are not used
  const double dn = p.N;
  const double scale = dn / (dn * dn);
  if (K < 1) return;
  // The plan is the estimator's own enumeration of the grid: it must agree
  // with the run's counts.
  if (a.plan.stationary != p.ntr - p.na) {
    writel(unit, "IT count ", p.ntr - p.na, " /= sr ", a.plan.stationary, " in p234");
    stop();
  }
  if (a.plan.total != p.ntr) {
    writel(unit, "Array count ", a.plan.total, " /= ntr ", p.ntr, " in p234");
    stop();
  }
  const bool tapered = ntaper >= 3;
  const std::vector<std::size_t> splits = row_splits(a.plan, std::max(a.row_threads, 1));
  for (int f0 = 0; f0 < K; f0 += FrameChunk::kFrames) {
    check_interrupt();  // a safe point between chunks of frames
    const int nframes = std::min(FrameChunk::kFrames, K - f0);
    for (int c = 0; c < nframes; ++c) {
      const double* y = series.data() + static_cast<std::size_t>(f0 + c) * M;
      for (int t = 0; t < M; ++t) {
        a.b[t] = y[t];
        if (tapered) a.b[t] = a.b[t] * a.w[t];
        a.f[2 * t] = a.b[t];
        a.f[2 * t + 1] = 0.0;
      }
      cfftf(v, a.f, a.scratch);
      for (int k = p.lo; k <= p.hi; ++k) {
        const double re = a.f[2 * k] * a.f[2 * (M - k)] - a.f[2 * k + 1] * a.f[2 * (M - k) + 1];
        a.sp[k - p.lo] += scale * re;
      }
      a.chunk.store(c, a.f);
    }
    // Rows own disjoint values, so threads may share them out; each value's
    // sum still runs over the frames in order.
    run_parallel(static_cast<int>(splits.size()) - 1, [&](int part) {
      accumulate_rows(a.plan, splits[part], splits[part + 1], a.chunk, nframes, scale, a.tr.data(),
                      a.ti.data());
    });
  }
}

}  // namespace quorvel

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "common/units.hpp"
#include "engine/dtaper.hpp"
#include "engine/trisrun.hpp"
#include "engine/triscale.hpp"
#include "engine_fixtures.hpp"
#include "stats/dsort.hpp"
#include "support/test_support.hpp"
#include "support/message_capture.hpp"

namespace quorvel {
namespace {

TEST(Triscale, NormalisingConstant) {
  EXPECT_NEAR(normalising_constant(1024, 64), 0.0883883, 1e-7);
  EXPECT_NEAR(normalising_constant(1000, 64), 0.0855816, 1e-7);
}

TEST(Triscale, MultiplicityFactor) {
  EXPECT_EQ(scaledet(6, 5, 5), 2.0);
  EXPECT_EQ(scaledet(5, 5, 5), 6.0);
  EXPECT_EQ(scaledet(5, 5, 3), 2.0);
  EXPECT_EQ(scaledet(6, 5, 4), 1.0);
  EXPECT_EQ(scaledet(5, 5, -3), 2.0);
  EXPECT_EQ(scaledet(6, 5, -3), 1.0);
}

TEST(Dtaper, Examples) {
  std::vector<double> w(256, -1.0);
  double taperfac = -1.0;
  int ntaper = -1;
  dtaper(w, 256, 10.0, taperfac, ntaper, 6);
  EXPECT_EQ(ntaper, 13);
  EXPECT_NEAR(w[0], 0.11196, 1e-5);
  EXPECT_EQ(w[255], w[0]);
  EXPECT_EQ(w[13], 1.0);
  EXPECT_EQ(w[242], 1.0);
  EXPECT_LT(w[12], 1.0);

  w.assign(100, -1.0);
  dtaper(w, 100, 1.0, taperfac, ntaper, 6);  // DNINT(0.5) = 1: halves away from zero
  EXPECT_EQ(ntaper, 1);
  EXPECT_NEAR(w[0], std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(taperfac, 0.99, 1e-12);

  dtaper(w, 100, 0.9, taperfac, ntaper, 6);
  EXPECT_EQ(ntaper, 0);
  EXPECT_EQ(taperfac, 1.0);
  for (double x : w) EXPECT_EQ(x, 1.0);

  taperfac = 5.0;
  ntaper = 7;
  w[0] = 3.0;
  dtaper(w, 100, 0.0, taperfac, ntaper, 6);  // nothing computed or changed
  EXPECT_EQ(taperfac, 5.0);
  EXPECT_EQ(ntaper, 7);
  EXPECT_EQ(w[0], 3.0);
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// A pass leaves nothing behind that changes the next one.
TEST(Trisrun, TwoPassesOverOneSeriesAgree) {
  const RunParameters p = testing::geometry(64 * 60, 64, 2, 30, 10.0f, 0.9f);
  const auto series = testing::nonlinear_series(p.N, 11);
  const auto other = testing::gaussian_series(p.N, 12);
  FftTable v;
  cffti(p.M, v);
  EngineArrays a, b;
  ASSERT_TRUE(allocate_engine_arrays(p, a));
  ASSERT_TRUE(allocate_engine_arrays(p, b));
  PassResults first, second;
  trisrun(series, v, p, a, first, 6);
  EXPECT_GT(first.lambda, 0.0f);
  EXPECT_GT(first.quantile, 0.5f);  // strongly nonlinear
  trisrun(other, v, p, b, second, 6);
  trisrun(series, v, p, b, second, 6);
  EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
  EXPECT_TRUE(same_bits(a.tr, b.tr));
  EXPECT_TRUE(same_bits(a.ti, b.ti));
  EXPECT_TRUE(same_bits(a.u, b.u));
  EXPECT_TRUE(same_bits(a.z, b.z));
  EXPECT_TRUE(same_bits(a.sp, b.sp));
}

// The report pass shares its phases and probabilities out among the
// engine's threads: any number of them gives the same bits.
TEST(Trisrun, ThreadCountLeavesTheBits) {
  const RunParameters p = testing::geometry(128 * 12, 128, 1, 64, 0.0f, 0.8f);
  const auto series = testing::nonlinear_series(p.N, 3);
  FftTable v;
  cffti(p.M, v);
  EngineArrays a, b;
  ASSERT_TRUE(allocate_engine_arrays(p, a));
  ASSERT_TRUE(allocate_engine_arrays(p, b));
  b.row_threads = 3;
  PassResults one, three;
  trisrun(series, v, p, a, one, 6);
  trisrun(series, v, p, b, three, 6);
  EXPECT_EQ(std::memcmp(&one, &three, sizeof one), 0);
  for (auto member : {&EngineArrays::tr, &EngineArrays::ti, &EngineArrays::u, &EngineArrays::z})
    EXPECT_TRUE(same_bits(a.*member, b.*member));
}

// A window that dtaper refuses (wider than M/4) leaves the frames untapered
// instead of tapering with values this pass never computed.
TEST(Trisrun, RefusedTaperRunsUntapered) {
  RunParameters p = testing::geometry(10 * 40, 10, 1, 5, 50.0f);  // ntaper 3 > 10/4
  const auto series = testing::nonlinear_series(p.N, 4);
  FftTable v;
  cffti(p.M, v);
  EngineArrays a, b;
  ASSERT_TRUE(allocate_engine_arrays(p, a));
  ASSERT_TRUE(allocate_engine_arrays(p, b));
  PassResults refused, plain;
  {
    testing::MessageCapture capture;
    trisrun(series, v, p, a, refused, kReportUnit);
    ASSERT_FALSE(capture.records().empty());
    EXPECT_EQ(testing::squeeze(capture.records()[0].text), "Taper size 3 > lb/4. Increase data frame 10");
  }
  EXPECT_EQ(a.ntaper, 0);
  EXPECT_EQ(a.taperfac, 1.0);
  p.taper = 0.0f;
  trisrun(series, v, p, b, plain, 6);
  EXPECT_TRUE(same_bits(a.sp, b.sp));
  EXPECT_TRUE(same_bits(a.tr, b.tr));
}

// Without 12 valid values the pass writes the low-count lines, zeroes the
// stationary probabilities and keeps the earlier results: p-values of 1.
TEST(Trisrun, LowCountKeepsEarlierResults) {
  const RunParameters p = testing::geometry(64 * 8, 64, 1, 32);
  FftTable v;
  cffti(p.M, v);
  EngineArrays a;
  ASSERT_TRUE(allocate_engine_arrays(p, a));
  testing::MessageCapture capture;
  PassResults r;
  trisrun(std::vector<double>(p.N, 0.0), v, p, a, r, kReportUnit);
  const std::vector<CapturedRecord>& records = capture.records();
  EXPECT_EQ(r.zero, 0.0f);
  EXPECT_EQ(r.reversibility, 0.0f);
  EXPECT_EQ(r.aliasing, 0.0f);
  EXPECT_EQ(r.lambda, 0.0f);
  for (int j = 0; j < p.npos + p.nneg; ++j) ASSERT_EQ(a.tr[j], 0.0);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].text, std::string(40, '*'));
  EXPECT_EQ(records[1].text, "");
  EXPECT_EQ(records[2].text, " Valid trispectrum values = 0 < 12");
  // every y is 1: the quantile statistic sits far in the upper tail
  EXPECT_GT(r.quantile, 0.99f);
}

// Gaussian white noise: the normalised squared moduli are chi-square(2) in
// every multiplicity case, so their probabilities average 1/2; a factor off
// by 2 in one case moves its mean to 1/3 or 2/3.
TEST(Trisrun, GaussianNoiseCalibratesEachMultiplicity) {
  const RunParameters p = testing::geometry(8192, 16, 1, 8, 0.0f, 0.5f);
  FftTable v;
  cffti(p.M, v);
  EngineArrays a;
  ASSERT_TRUE(allocate_engine_arrays(p, a));
  std::map<double, std::pair<double, int>> by_factor;  // d -> (sum, count)
  for (int series = 0; series < 200; ++series) {
    PassResults r;
    trisrun(testing::gaussian_series(p.N, 1000 + series), v, p, a, r, 6);
    for (int j = 0; j < p.npos + p.nneg; ++j) {
      auto& [sum, count] = by_factor[scaledet(a.t1[j], a.t2[j], a.t3[j])];
      sum += a.tr[j];
      ++count;
    }
  }
  ASSERT_EQ(by_factor.size(), 3u);
  for (const auto& [d, acc] : by_factor) {
    const double mean = acc.first / acc.second;
    const double sampling_error = std::sqrt(1.0 / 12.0 / acc.second);  // uniform: sd sqrt(1/12)
    EXPECT_NEAR(mean, 0.5, 4.0 * sampling_error + 0.02) << "d = " << d << ", n = " << acc.second;
  }
}

// The report lists the values below 1/n in the order of the full index
// sort of 1 - tr; a pass sorts only the end of the index that holds them.
// Probabilities from pools with many ties at y = 1 (0 for invalid values,
// underflowed ones) and around 1/n.
TEST(Trisrun, ListedValuesKeepTheFullSortsOrder) {
  const std::vector<double> pools[] = {
      {0.0, 1e-20, 0.4, 0.9},
      {0.0, 1e-17, 5e-17, 1e-4, 0.5},
      {1e-20, 0.2},
      {0.0},
      {0.3, 0.7},
  };
  for (int n : {12, 100, 2000}) {
    for (const std::vector<double>& pool : pools) {
      testing::Rng rng(n + pool.size());
      std::vector<double> tr(n), y(n);
      for (int j = 0; j < n; ++j) {
        tr[j] = pool[static_cast<std::size_t>(rng.uniform() * pool.size())];
        if (rng.uniform() < 0.1) tr[j] = 1.0f / static_cast<float>(n) * (0.5 + rng.uniform());
        y[j] = 1.0 - tr[j];
      }
      std::vector<int> full(n), tail(n);
      indexx(n, y, full);
      indexx_tail(n, y, tail, listed_tail(tr, y, n));
      auto listed = [&](const std::vector<int>& idx) {
        std::vector<int> kept;
        for (int u : idx)
          if (static_cast<float>(tr[u]) < 1.0f / static_cast<float>(n)) kept.push_back(u);
        return kept;
      };
      EXPECT_EQ(listed(tail), listed(full)) << n << " " << pool.size();
    }
  }
}

}  // namespace
}  // namespace quorvel

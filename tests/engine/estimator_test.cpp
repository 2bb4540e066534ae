#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/dtaper.hpp"
#include "engine/engine_arrays.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "engine/p234.hpp"
#include "support/test_support.hpp"
#include "support/message_capture.hpp"
#include "engine_fixtures.hpp"

namespace quorvel {
namespace {

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

struct Case {
  int N, M, lo, hi;
  double taper;
};

// The chunked, vectorised estimator gives the same bits as the plain frame
// loop: M even and odd, factors above 5, lo > 1, N not a multiple of M,
// frame counts across chunk boundaries, tapered and untapered frames; with
// either kernel and with the rows shared between threads.
TEST(Estimator, FastMatchesReferenceBitForBit) {
  const std::vector<Case> cases = {
      {16 * 40 + 5, 16, 1, 8, 0.0},   {21 * 35 + 3, 21, 2, 10, 25.0},
      {22 * 70, 22, 1, 11, 0.0},      {64 * 70 + 63, 64, 3, 30, 10.0},
      {77 * 33, 77, 5, 38, 20.0},     {256 * 40, 256, 1, 128, 0.0},
      {15 * 6, 15, 1, 7, 0.0}};
  for (bool generic : {false, true})
  for (int threads : {1, 3})
  for (const Case& c : cases) {
    use_generic_estimator_kernel(generic);
    const RunParameters p = testing::geometry(c.N, c.M, c.lo, c.hi);
    const auto series = testing::nonlinear_series(c.N, c.M);
    FftTable v;
    cffti(c.M, v);
    EngineArrays a;
    ASSERT_TRUE(allocate_engine_arrays(p, a));
    a.row_threads = threads;
    double taperfac = 1.0;
    int ntaper = 0;
    dtaper(a.w, c.M, c.taper, taperfac, ntaper, 6);
    if (c.taper >= 20.0) {
      ASSERT_GE(ntaper, 3);  // those cases really taper
    }
    p234(series, v, p, a, ntaper, 6);
    const auto ref = testing::reference_p234(series, v, p, a.w, ntaper);
    EXPECT_TRUE(same_bits(a.sp, ref.sp)) << "M = " << c.M;
    EXPECT_TRUE(same_bits(a.tr, ref.tr)) << "M = " << c.M;
    EXPECT_TRUE(same_bits(a.ti, ref.ti)) << "M = " << c.M;
  }
  use_generic_estimator_kernel(false);
}

TEST(Estimator, SeriesShorterThanAFrameLeavesZeros) {
  const RunParameters p = testing::geometry(10, 16, 1, 8);
  FftTable v;
  cffti(16, v);
  EngineArrays a;
  ASSERT_TRUE(allocate_engine_arrays(p, a));
  std::fill(a.tr.begin(), a.tr.end(), 7.0);
  p234(testing::gaussian_series(10, 1), v, p, a, 0, 6);
  for (double t : a.tr) EXPECT_EQ(t, 0.0);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// Counts of the set-up that disagree with the estimator's grid stop the run.
TEST(Estimator, CountMismatchStops) {
  RunParameters p = testing::geometry(64 * 4, 64, 1, 32);
  FftTable v;
  cffti(p.M, v);
  EngineArrays a;
  ASSERT_TRUE(allocate_engine_arrays(p, a));
  testing::MessageCapture capture;
  p.na -= 1;  // ntr - na no longer counts the stationary values
  EXPECT_THROW(p234(testing::gaussian_series(p.N, 3), v, p, a, 0, kReportUnit), Stop);
  p.na += 2;   // the stationary count agrees again,
  p.ntr += 1;  // the total does not
  EXPECT_THROW(p234(testing::gaussian_series(p.N, 3), v, p, a, 0, kReportUnit), Stop);
  const std::vector<CapturedRecord>& records = capture.records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(testing::squeeze(records[0].text), "IT count 3551 /= sr 3550 in p234");
  EXPECT_EQ(testing::squeeze(records[1].text), "Array count 5810 /= ntr 5811 in p234");
}

}  // namespace
}  // namespace quorvel

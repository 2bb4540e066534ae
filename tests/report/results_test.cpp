// The trispectrum value files and the results block.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "report/capture.hpp"
#include "report/outtris.hpp"
#include "report/wrttris.hpp"

namespace quorvel {
namespace {

using testing::records_of;
using testing::repeat;
using Lines = std::vector<std::string>;

TEST(Wrttris, PlaneThenGrid) {
  struct Case {
    int ne, lo, planes, plane;
    SamplingUnit iunit;
    float bw;
    Lines expected;
  };
  // Plane c holds T(a, b, c) = c * 100 + a + b / 10 (other planes must not leak in).
  const Case cases[] = {
      {3, 4, 2, 2, SamplingUnit::Hertz, 2.5f,
       {" 201.1000 202.1000 203.1000", " 201.2000 202.2000 203.2000", " 201.3000 202.3000 203.3000",
        "   10.000   12.500   15.000"}},
      {2, 10, 1, 1, SamplingUnit::Time, 100.0f,
       {"       101.100       102.100", "       101.200       102.200",
        "        10.000         9.091"}},
      {1, 10, 1, 1, SamplingUnit::Kilohertz, 39.0625f, {" 101.1000", "    0.391"}},
      {0, 10, 1, 1, SamplingUnit::Hertz, 2.5f, {""}},
  };
  for (const Case& c : cases) {
    std::vector<double> table(static_cast<std::size_t>(c.ne * c.ne * c.planes));
    for (int p = 1; p <= c.planes; ++p)
      for (int b = 1; b <= c.ne; ++b)
        for (int a = 1; a <= c.ne; ++a)
          table[static_cast<std::size_t>((a - 1) + (b - 1) * c.ne + (p - 1) * c.ne * c.ne)] =
              p * 100 + a + b / 10.0;
    EXPECT_EQ(records_of([&](int u) { wrttris(table, c.lo, c.ne, c.plane, c.bw, c.iunit, u); }),
              c.expected)
        << "ne " << c.ne << " iunit " << static_cast<int>(c.iunit);
  }
}

// Stationary values with their index tables and the driver's sort index
// (1 - tr ascending, so tr descending).
struct Values {
  std::vector<int> t1, t2, t3, idx;
  std::vector<double> tr, ti;
  explicit Values(std::vector<double> probabilities) : tr(std::move(probabilities)) {
    const std::size_t n = tr.size();
    t1.assign(n, 1);
    t2.assign(n, 1);
    t3.assign(n, 1);
    ti.assign(n, 0.0);
    idx.resize(n);
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) { return tr[a] > tr[b]; });
  }
  TrispectralValues view() const { return {t1, t2, t3, tr, ti, idx}; }
};

const std::string kEquals70 = "  " + repeat('=', 70);

Lines after_second_rule(const Lines& lines) {
  auto first = std::find(lines.begin(), lines.end(), kEquals70);
  auto second = std::find(first + 1, lines.end(), kEquals70);
  return second == lines.end() ? Lines{"<no rule>"} : Lines(second + 1, lines.end());
}

TEST(Outtris, BlockWithoutBootstrapAndNothingBelowOneOverN) {
  // Four values: J = 0.25 and none lies strictly below it; x6 is exactly 0.5.
  Values v({0.5, 1.0, 0.25, 0.75});
  RunParameters rp;
  rp.iunit = SamplingUnit::Kilohertz;
  rp.bw = 10.0f;
  PassResults res{.quantile = 0.05f, .zero = 0.875f, .reversibility = 0.5f, .aliasing = 1.0f,
                  .lambda = 1.25f};
  const Lines got = records_of([&](int u) { outtris(v.view(), {}, 4, rp, res, u); });
  const Lines expected = {
      "",
      "  p-value = 0.95000 for the quantile trispectrumbased nonlinearity test",
      "",
      "  p-value = 0.50000 for the time reversibility test",
      "",
      "  p-value = 0.12500 for the zero trispectrum test",
      "",
      "  p-value = 0.00000 for the aliasing test",
      "",
      kEquals70,
      "",
      "            Mean noncentrality parameter =       1.25",
      "",
      "           Fractiles of Normalized Trispectral Probabilities",
      "",
      "    0.001    0.01     0.05     0.10     0.25     0.50     0.75     0.90     0.95     0.99"
      "     0.999",
      "",
      "    0.250    0.250    0.250    0.250    0.250    0.500    0.750    0.900    0.950    0.990"
      "    0.999",  // a trailing 2X writes nothing
      "",
  };
  ASSERT_EQ(got.size(), expected.size() + 3);
  EXPECT_EQ(Lines(got.begin(), got.begin() + static_cast<long>(expected.size())), expected);
  // Levels 0.25 and 0.5 sit exactly on their fractiles: z = 0, p = 0.5.
  const std::string& pline = got[expected.size()];
  EXPECT_EQ(pline.substr(2 + 4 * 9, 7), "  0.500");
  EXPECT_EQ(pline.substr(2 + 5 * 9, 7), "  0.500");
  EXPECT_EQ(pline.substr(2 + 11 * 9), " p-values");
  EXPECT_EQ(after_second_rule(got), Lines{""});
}

TEST(Outtris, ShuffledLinesInTheirOrder) {
  Values v({0.5, 1.0, 0.25, 0.75});
  RunParameters rp;
  rp.nres = 20;
  const ShuffledPValues s{.quantile = 0.1f, .zero = 0.3f, .reversibility = 0.2f, .aliasing = 0.4f};
  const Lines got = records_of([&](int u) { outtris(v.view(), s, 4, rp, PassResults{}, u); });
  ASSERT_GE(got.size(), 20u);
  const Lines expected = {
      "  " + repeat('*', 70),
      "",
      "  Shuffled p-value =  0.1000 for the quantile trispectrum based nonlinearity test",
      "",
      "  Shuffled p-value =  0.2000 for the time reversibility test",
      "",
      "  Shuffled p-value =  0.3000 for the zero trispectrum test",
      "",
      "  Shuffled p-value =  0.4000 for the aliasing test",
      "",
      kEquals70,
  };
  EXPECT_EQ(Lines(got.begin() + 9, got.begin() + 20), expected);
}

// n = 1000 with two probabilities below J = 0.001 (and one exactly at it).
Values thousand_values() {
  std::vector<double> tr(1000, 0.5);
  tr[3] = 0.0002;
  tr[5] = 0.001;
  tr[7] = 0.0009;
  Values v(tr);
  v.t1[7] = 1, v.t2[7] = 2, v.t3[7] = 3, v.ti[7] = 45.0;
  v.t1[3] = 1, v.t2[3] = 1, v.t3[3] = 1, v.ti[3] = -90.0;
  return v;
}

TEST(Outtris, TableOfSmallProbabilitiesByUnit) {
  const Values v = thousand_values();
  const Lines counts = {
      "",
      "        2 Trispectral p-values <  0.00100",
      "  % of Trispectral Probabilites =  0.200  Standard Deviation =  0.100",
      " " + repeat('=', 60),
      "",
  };
  auto with_counts = [&](Lines rest) {
    Lines all = counts;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
  };
  struct Case {
    SamplingUnit iunit;
    float bw;
    Lines expected;
  };
  const Case cases[] = {
      // kHz: the (1,2,3) row has v2 > 0.01 (fixed); the (1,1,1) row has v1 = v2 = 0.005 (E).
      {SamplingUnit::Kilohertz, 5.0f,
       with_counts({"             Frequencies in kHz", "",
                    "     f(1)       f(2)       f(3)       f(4)           1-Pr        Phase", "",
                    "     0.005      0.010      0.015     -0.030         0.000900       45.0", "",
                    " 0.500E-02  0.500E-02  0.500E-02  -.150E-01         0.000200      -90.0", ""})},
      {SamplingUnit::Time, 100.0f,
       with_counts({"                 Periods in days      ", "",
                    "          Period 1        Period 2        Period 3        Period 4         1-Pr"
                    "        Phase",
                    "",
                    "         100.000          50.000          33.333         -16.667         "
                    "0.000900       45.0",
                    "",
                    "         100.000         100.000         100.000         -33.333         "
                    "0.000200      -90.0",
                    ""})},
      {static_cast<SamplingUnit>(5), 5.0f, counts},  // unknown unit: counts only
  };
  for (const Case& c : cases) {
    RunParameters rp;
    rp.iunit = c.iunit;
    rp.bw = c.bw;
    rp.unitname = "days" + std::string(11, ' ');
    const Lines got =
        records_of([&](int u) { outtris(v.view(), {}, 1000, rp, PassResults{}, u); });
    EXPECT_EQ(after_second_rule(got), c.expected) << "iunit " << static_cast<int>(c.iunit);
  }
}

TEST(Outtris, SingleValueShowsZeroFractiles) {
  Values v({0.5});
  RunParameters rp;
  rp.iunit = static_cast<SamplingUnit>(7);
  const Lines got = records_of([&](int u) { outtris(v.view(), {}, 1, rp, PassResults{}, u); });
  std::string zeros = "  ";
  for (int i = 0; i < 11; ++i) zeros += "  0.000  ";
  EXPECT_NE(std::find(got.begin(), got.end(), zeros.substr(0, zeros.size() - 2)), got.end());
  EXPECT_NE(std::find(got.begin(), got.end(), zeros + " p-values"), got.end());
  const Lines tail = after_second_rule(got);
  ASSERT_GE(tail.size(), 4u);
  EXPECT_EQ(tail[1], "        1 Trispectral p-values <  1.00000");
  EXPECT_EQ(tail.size(), 5u);  // no heading, no rows for an unknown unit
}

}  // namespace
}  // namespace quorvel

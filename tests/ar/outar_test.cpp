// The AR block of the report, line by line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ar/outar.hpp"
#include "common/units.hpp"
#include "support/test_support.hpp"
#include "support/message_capture.hpp"

namespace quorvel {
namespace {

std::string rtrim(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// The report lines that outar writes, trailing blanks aside.
std::vector<std::string> block_of(const ArFit& fit, const RunParameters& run) {
  testing::TempDir dir;
  const std::string path = (dir.path() / "report.out").string();
  EXPECT_EQ(open_unit(kReportUnit, path, OpenStatus::Replace), 0);
  outar(fit, run, kReportUnit);
  close_unit(kReportUnit);
  std::vector<std::string> lines = testing::lines_of(dir.read("report.out"));
  for (std::string& l : lines) l = rtrim(l);
  return lines;
}

ArFit make_fit(std::vector<int> lags, std::vector<double> a, std::vector<double> se) {
  ArFit fit;
  fit.k = static_cast<int>(lags.size());
  fit.lags = std::move(lags);
  fit.a = std::move(a);
  fit.se = std::move(se);
  fit.adjr2 = 0.456f;
  fit.s = 1.234f;
  return fit;
}

RunParameters run_in(SamplingUnit iunit, float rate) {
  RunParameters run;
  run.iunit = iunit;
  run.rate = rate;
  run.pv = 0.05f;
  run.unitname = "seconds        ";
  return run;
}

const std::string kRule = "      " + std::string(47, '=');

TEST(Outar, WholeBlockOfAComplexPair) {
  // B(z) = z^2 - 0.5 z + 0.81: roots 0.25 +- 0.8646i, modulus 0.9,
  // period 2 pi / 1.28932 = 4.8733 samples.
  const ArFit fit = make_fit({1, 2}, {0.5, -0.81}, {0.1, 0.05});
  const std::vector<std::string> expected = {
      "",
      "                 AR(  2) parameters / t values",
      "",
      "      Adjusted R Square = 0.456  Std Error of AR Fit =  0.123E+01",
      "       p Value Threshold for the Iterative AR Prewhitening Method = 0.050",
      kRule,
      "",
      "  1 -   0.5000    2 -  -0.8100",
      "          5.00          -16.20",
      "",
      " Amplitudes & Frequencies of the Roots of the AR Polynomial in units of Hz",
      "           A real root is given a period = 0.",
      kRule,
      "",
      "  1 -     0.90    2 -     0.90",
      "         20.52           20.52",
      "",
  };
  EXPECT_EQ(block_of(fit, run_in(SamplingUnit::Hertz, 100.0f)), expected);
}

TEST(Outar, HeadingsAndValuesByUnitMode) {
  const ArFit fit = make_fit({1, 2}, {0.5, -0.81}, {0.1, 0.05});
  std::vector<std::string> khz = block_of(fit, run_in(SamplingUnit::Kilohertz, 0.1f));
  ASSERT_EQ(khz.size(), 17u);
  EXPECT_EQ(khz[10],
            " Amplitudes & Frequencies of the Roots of the AR polynomial in units of kHz");
  EXPECT_EQ(khz[15], "          0.02            0.02");
  std::vector<std::string> time = block_of(fit, run_in(SamplingUnit::Time, 0.5f));
  ASSERT_EQ(time.size(), 17u);
  EXPECT_EQ(time[10],
            " Amplitudes & Periods of the Roots of the AR Polynomial in units of seconds");
  EXPECT_EQ(time[15], "          2.44            2.44");  // |P| * 0.5
  // Other units have no heading line.
  EXPECT_EQ(block_of(fit, run_in(static_cast<SamplingUnit>(5), 0.5f)).size(), 16u);
}

TEST(Outar, RealRootAfterAComplexPairShowsZeroInEveryMode) {
  // (z - 0.5)(z^2 + 0.6 z + 0.5) = z^3 + 0.1 z^2 + 0.2 z - 0.25.
  const ArFit fit = make_fit({1, 2, 3}, {-0.1, -0.2, 0.25}, {0.01, 0.01, 0.01});
  for (SamplingUnit iunit : {SamplingUnit::Time, SamplingUnit::Kilohertz, SamplingUnit::Hertz}) {
    const std::vector<std::string> lines = block_of(fit, run_in(iunit, 2.0f));
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[14], "  1 -     0.71    2 -     0.71    3 -     0.50") << static_cast<int>(iunit);
    const std::string values = lines[15];
    ASSERT_EQ(values.size(), 46u);
    EXPECT_EQ(values.substr(38), "    0.00") << static_cast<int>(iunit);
    EXPECT_NE(values.substr(6, 8), "    0.00") << static_cast<int>(iunit);
  }
  // Time-unit periods are capped.
  const std::vector<std::string> capped = block_of(fit, run_in(SamplingUnit::Time, 5000.0f));
  EXPECT_EQ(capped[15], "      10000.00        10000.00            0.00");
}

TEST(Outar, SeventyOneLagsWrapAfterSeventyCells) {
  std::vector<int> lags;
  std::vector<double> a, se;
  for (int j = 1; j <= 71; ++j) {
    lags.push_back(j);
    a.push_back(0.001);
    se.push_back(0.01);
  }
  const std::vector<std::string> lines = block_of(make_fit(lags, a, se), run_in(SamplingUnit::Hertz, 10.0f));
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[1], "                 AR( 71) parameters / t values");
  EXPECT_EQ(lines[7].size(), 70u * 16 - 2);
  EXPECT_EQ(lines[7].substr(16 * 69), " 70 -   0.0010");
  EXPECT_EQ(lines[8], " 71 -   0.0010");
  EXPECT_EQ(lines[9].substr(16 * 69), "          0.10");
  EXPECT_EQ(lines[10], "          0.10");
  EXPECT_EQ(lines[17].substr(0, 5), " 71 -");  // the roots table wraps too
}

TEST(Outar, NonPositiveStandardErrorSkipsTheBlock) {
  const ArFit fit = make_fit({1, 2}, {0.5, -0.81}, {0.0, 0.05});
  const std::vector<std::string> lines = block_of(fit, run_in(SamplingUnit::Hertz, 100.0f));
  ASSERT_EQ(lines.size(), 1u);
  const std::string message = testing::squeeze(lines[0]);
  EXPECT_EQ(message.rfind("Standard error s( 1 ) = ", 0), 0u) << message;
  EXPECT_EQ(message.substr(message.size() - 12), "< 0 in outar") << message;
}

TEST(Outar, DegreeAboveTheRootLimitWritesNoRootsTable) {
  testing::MessageCapture capture;
  outar(make_fit({201}, {0.5}, {0.1}), run_in(SamplingUnit::Hertz, 100.0f), kReportUnit);
  const std::vector<CapturedRecord>& records = capture.records();
  ASSERT_EQ(records.size(), 11u);
  EXPECT_EQ(records[9].unit, kReportUnit);  // the empty line after the lag table
  EXPECT_EQ(records[10].unit, kConsoleUnit);
  EXPECT_EQ(testing::squeeze(records[10].text), "m+1 202 > maxm 201 in ZROOTS");
}

}  // namespace
}  // namespace quorvel

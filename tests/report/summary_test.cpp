// The run summary and the descriptive statistics block.
#include <gtest/gtest.h>

#include <algorithm>

#include "report/capture.hpp"
#include "report/dwrstat.hpp"
#include "report/wr2.hpp"

namespace quorvel {
namespace {

using testing::records_of;
using testing::repeat;
using Lines = std::vector<std::string>;

RunParameters khz_run() {
  RunParameters rp;
  rp.title = "Test series" + std::string(69, ' ');
  rp.is = 1;
  rp.ie = 1000;
  rp.N = 1000;
  rp.M = 256;
  rp.lo = 10;
  rp.hi = 21;
  rp.ne = 12;
  rp.iunit = SamplingUnit::Kilohertz;
  rp.rate = 10.0f;
  rp.bw = 39.0625f;
  rp.taper = 10.0f;
  rp.quant = 0.75f;
  rp.e = 0.8027f;
  return rp;
}

TEST(Wr2, KilohertzBlockLineByLine) {
  const Lines expected = {
      " Test series" + std::string(68, ' '),
      "",
      "       First datum read      1  Last datum read    1000",
      "",
      " Sample size =     1000  No. of frequencies in the band =     12  No. frames =      3",
      "",
      " Sampling rate =     10.0000 kHz     Frame size   256",
      "",
      " Resolution Bandwidth :    0.3906E+02 Hz    0.2560E+02 msec",
      "",
      " Passband (   0.3906      0.8203 ) kHz",
      "",
      " % taper = 10.00    No. tapered at each end =    13",
      "",
      "       Nonlinearity Test Computed for the  0.75 Quantile",
      "",
      "       Bandwidth Frame Exponent =  0.8027",
      "",
  };
  EXPECT_EQ(records_of([&](int u) { wr2(khz_run(), u); }), expected);
}

TEST(Wr2, HertzAndPeriodModeUnitLines) {
  RunParameters hz = khz_run();
  hz.iunit = SamplingUnit::Hertz;
  hz.rate = 100.0f;
  hz.bw = 2.5f;
  hz.lo = 4;
  hz.hi = 6;
  hz.M = 40;
  hz.nres = 50;
  const Lines h = records_of([&](int u) { wr2(hz, u); });
  ASSERT_GE(h.size(), 13u);
  EXPECT_EQ(h[4], " Sample size =     1000  No. of frequencies in the band =      3  No. frames =     25");
  EXPECT_EQ(h[6], " Sampling rate =    100.0000 Hz     Frame size    40");
  EXPECT_EQ(h[8], " Resolution Bandwidth :    0.2500E+01 Hz    0.4000E+03 msec");
  EXPECT_EQ(h[10], " Passband (  10.0000     15.0000 ) Hz");
  EXPECT_NE(std::find(h.begin(), h.end(), "    Residuals are Bootstrapped using    50 resamples"),
            h.end());

  RunParameters period = khz_run();
  period.iunit = SamplingUnit::Time;
  period.unitname = "days" + std::string(11, ' ');
  period.rate = 1.0f;
  period.bw = 100.0f;
  period.lo = 10;
  period.hi = 20;
  period.M = 100;
  const Lines p = records_of([&](int u) { wr2(period, u); });
  ASSERT_GE(p.size(), 13u);
  EXPECT_EQ(p[4], " Sample size =     1000  No. of periods in the band =     11  No. frames =     10");
  EXPECT_EQ(p[6], " Sampling interval =       1.0000 days        Frame size   100");
  EXPECT_EQ(p[8], " Resolution Bandwidth :    0.1000E+03 days      ");
  EXPECT_EQ(p[10], " Passband (     10.00   5.0000 ) days      ");
}

TEST(Wr2, TaperLineAndTitleCut) {
  const std::string none = " % Taper yields no. of tapered values < 2";
  struct Case {
    int M;
    float taper;
    std::string line;
  };
  const Case cases[] = {
      {256, 10.0f, " % taper = 10.00    No. tapered at each end =    13"},  // ANINT(12.8)
      {16, 5.0f, none},                                                      // 0.4 -> 0
      {30, 5.0f, none},                                                      // ANINT(0.75) = 1 < 2
      {256, 0.0f, none},
  };
  for (const Case& c : cases) {
    RunParameters rp = khz_run();
    rp.M = c.M;
    rp.taper = c.taper;
    Lines taper_lines;
    for (const auto& l : records_of([&](int u) { wr2(rp, u); })) {
      if (l.find("aper") != std::string::npos) taper_lines.push_back(l);
    }
    EXPECT_EQ(taper_lines, Lines{c.line}) << "M " << c.M << " taper " << c.taper;
  }

  RunParameters rp = khz_run();
  rp.title = std::string(79, 'a') + "Z";
  EXPECT_EQ(records_of([&](int u) { wr2(rp, u); }).front(), " " + std::string(79, 'a'));
}

TEST(Dwrstat, BlockWithExponentsAndOverflow) {
  Moments m{.mean = 1.5, .sd = 2.0, .skew = -0.25, .kurt = 3.0, .max = 123456789012.0, .min = -5.0};
  const Lines expected = {
      repeat('=', 60),
      "",
      " Mean =           1.500       Std Dev =           2.000",
      "",
      " Skew = -.2500E+00    Kurtosis = 0.3000E+01",
      "",
      " Max value = " + repeat('*', 15) + "       Min value =          -5.000",
      repeat('+', 60),
  };
  EXPECT_EQ(records_of([&](int u) { dwrstat(u, m); }), expected);
}

}  // namespace
}  // namespace quorvel

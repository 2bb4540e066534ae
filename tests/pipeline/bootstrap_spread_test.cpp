// The "Shuffled" p-values of white noise spread over (0, 1) even where the
// asymptotic tests are off (few frames: the consistency warning).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

TEST(BootstrapSpread, WhiteNoiseShuffledPValuesAreNotPiledNearZero) {
  constexpr int kSeries = 12;
  TempDir dir;
  std::mt19937 gen(2048);
  std::normal_distribution<double> normal;
  std::string list = "Runs = " + std::to_string(kSeries) + " *\n";
  for (int s = 0; s < kSeries; ++s) {
    const std::string name = "w" + std::to_string(s);
    std::string data = "white noise\nrows = 1024 columns = 1 rate = 1000.0 format =(f12.6) unit=Hz\n";
    for (int i = 0; i < 1024; ++i) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%12.6f\n", normal(gen));
      data += buf;
    }
    dir.write(name + ".dat", data);
    dir.write(name + ".cnl", "Data file name =" + name + ".dat *\nColumn number = 1 *\nSampling unit =Hz *\n"
                             "Lower freq = 0.0 *\nUpper freq = 0.0 *\n% taper = 0.0 *\n"
                             "Resolution bandwidth = 31.25 *\nPrewhiten AR(2) *\np threshold = 0.05 *\n"
                             "start = 1 *\nend = 0 *\nResamples = 19 *\nQuantile = 0.8 *\n#\n");
    list += name + ".cnl *\n";
  }
  dir.write("Runquorvel.cnl", list);
  ASSERT_EQ(dir.run().exit_status, 0);

  std::vector<double> p;
  for (int s = 0; s < kSeries; ++s) {
    for (const auto& line : squeezed_lines(dir.read("w" + std::to_string(s) + "_Quorvel.out"))) {
      if (line.rfind("Shuffled p-value = ", 0) == 0) p.push_back(std::stod(line.substr(19)));
    }
  }
  ASSERT_EQ(p.size(), 4u * kSeries);
  double mean = 0;
  int small = 0;
  for (double v : p) {
    mean += v / p.size();
    small += v < 0.05;
  }
  EXPECT_GT(mean, 0.3);
  EXPECT_LT(mean, 0.7);
  EXPECT_LE(small, static_cast<int>(0.2 * p.size()));
}

}  // namespace
}  // namespace quorvel::testing

// The sampling unit's kind from its text, and a band index in that unit:
// the run routine and the library both rely on them.
#include <gtest/gtest.h>

#include <string>

#include "common/run_parameters.hpp"

namespace quorvel {
namespace {

TEST(SamplingUnit, KindOfTheUnitText) {
  const struct {
    std::string text;
    SamplingUnit kind;
  } cases[] = {
      {"kHz *", SamplingUnit::Kilohertz}, {"khz", SamplingUnit::Kilohertz}, {"Hz", SamplingUnit::Hertz},
      {"hz  ", SamplingUnit::Hertz},      {"KHZ", SamplingUnit::Time},      {"days", SamplingUnit::Time},
      {"", SamplingUnit::Time},
  };
  for (const auto& c : cases) EXPECT_EQ(sampling_unit_of(c.text), c.kind) << '"' << c.text << '"';
}

TEST(SamplingUnit, BandValueInTheRunsUnit) {
  // 32-bit arithmetic, as the report prints it: kHz is bw * k * 0.001.
  EXPECT_EQ(band_value(SamplingUnit::Kilohertz, 312.5f, 3.0f), 312.5f * 3.0f * 0.001f);
  EXPECT_EQ(band_value(SamplingUnit::Hertz, 31.25f, 16.0f), 500.0f);
  EXPECT_EQ(band_value(SamplingUnit::Time, 100.0f, 8.0f), 12.5f);  // a period
  EXPECT_TRUE(is_frequency(SamplingUnit::Hertz));
  EXPECT_FALSE(is_frequency(SamplingUnit::Time));
}

}  // namespace
}  // namespace quorvel

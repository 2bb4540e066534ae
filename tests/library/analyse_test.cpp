// The library's call against the batch program: the same numbers and texts
// for the example runs, the batch's messages for bad settings and data,
// and calls on two threads at once as one after the other.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library/run_files.hpp"
#include "quorvel/quorvel.hpp"
#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

struct Example {
  const char* stem;
  int column;
  Settings settings;
};

Settings settings_of(const char* unit, double rate, double bandwidth, int ar, int resamples, double taper = 0) {
  Settings s;
  s.unit = unit;
  s.rate = rate;
  s.bandwidth = bandwidth;
  s.ar_order = ar;
  s.resamples = resamples;
  s.taper = taper;
  return s;
}

// The settings of the example batch's control files.
Settings with_quantile(Settings s, double q) {
  s.quantile = q;
  return s;
}

const std::vector<Example>& examples() {
  static const std::vector<Example> all = {
      {"white", 1, settings_of("Hz", 1000.0, 31.25, 0, 0)},
      {"bilinear", 1, settings_of("kHz", 10.0, 312.5, 5, 19)},
      {"linear", 1, settings_of("days", 1.0, 64.0, 4, 99, 10.0)},
      {"irreversible", 1, settings_of("Hz", 1000.0, 31.25, 8, 99)},
      {"sunspots", 2, settings_of("years", 1.0, 25.0, 9, 99)},
  };
  return all;
}

std::vector<double> column_of(const std::string& text, int column) {
  std::vector<double> values;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    double v = 0;
    for (int c = 1; c <= column; ++c) fields >> v;
    values.push_back(v);
  }
  return values;
}

std::string file_text(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Lines that name the data file's layout, the date or the time taken.
bool describes_file_or_clock(const std::string& line) {
  for (const char* part : {"Column Number Used", " Format: ", "Date & Time", "Elapsed time", "Run "}) {
    if (line.find(part) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::string> comparable(const std::string& text) {
  std::vector<std::string> out;
  for (const std::string& l : lines_of(text))
    if (!describes_file_or_clock(l)) out.push_back(l);
  return out;
}

TEST(Analyse, GivesTheReportAndValueFilesOfAOneRunBatch) {
  for (const Example& ex : examples()) {
    SCOPED_TRACE(ex.stem);
    TempDir dir;
    const std::string stem = ex.stem;
    const std::string data = file_text(source_dir() / "examples" / "batch" / (stem + ".dat"));
    dir.write(stem + ".dat", data);
    dir.write(stem + ".cnl", file_text(source_dir() / "examples" / "batch" / (stem + ".cnl")));
    dir.write("Runquorvel.cnl", "Number of runs = 1 *\n" + stem + ".cnl*\n");
    ASSERT_EQ(dir.run().exit_status, 0);

    Settings s = ex.settings;
    s.title = data.substr(0, data.find('\n'));
    const Result r = analyse(column_of(data, ex.column), s);
    EXPECT_EQ(comparable(r.report), comparable(dir.read(stem + "_Quorvel.out")));
    EXPECT_EQ(comparable(r.positive_file), comparable(dir.read(stem + "-k3+_quorvel.out")));
    EXPECT_EQ(comparable(r.negative_file), comparable(dir.read(stem + "-k3-_quorvel.out")));
    // The numbers are those the report prints.
    char line[96];
    std::snprintf(line, sizeof line, "  p-value = %7.5f for the aliasing test", r.p_aliasing);
    EXPECT_NE(r.report.find(line), std::string::npos) << line;
    EXPECT_EQ(r.frames, r.n / r.frame_length);
    EXPECT_EQ(static_cast<int>(r.positive.values.size()), r.positive.size * r.positive.size);
    EXPECT_EQ(static_cast<int>(r.values.probability.size()), r.stationary_positive + r.stationary_negative);
    EXPECT_EQ(std::isnan(r.shuffled_zero), s.resamples == 0);
  }
}

TEST(Analyse, CallsOnTwoThreadsAtOnceGiveTheSerialResults) {
  const Example& ex = examples()[2];  // prewhitened, with a bootstrap
  const std::vector<double> x =
      column_of(file_text(source_dir() / "examples" / "batch" / (std::string(ex.stem) + ".dat")), 1);
  Settings other = ex.settings;
  other.seed = 7;
  const Result a = analyse(x, ex.settings), b = analyse(x, other);
  Result pa, pb;
  std::thread ta([&] { pa = analyse(x, ex.settings); });
  std::thread tb([&] { pb = analyse(x, other); });
  ta.join();
  tb.join();
  for (auto [serial, parallel] : {std::pair{&a, &pa}, {&b, &pb}}) {
    EXPECT_EQ(comparable(serial->report), comparable(parallel->report));
    EXPECT_EQ(serial->shuffled_quantile, parallel->shuffled_quantile);
  }
  // A seed of its own gives other shuffles, the same observed p-values.
  EXPECT_EQ(a.p_zero, b.p_zero);
  EXPECT_NE(comparable(a.report), comparable(b.report));
}

TEST(Analyse, WritesNoFileAndLeavesTheProgramsUnitsAlone) {
  TempDir dir;
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  std::vector<double> x(4096);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.37 * i * i);
  Settings s;
  s.ar_order = 2;
  s.resamples = 11;
  const Result r = analyse(x, s);
  EXPECT_THROW(analyse(x, with_quantile(s, 2.0)), Error);
  std::filesystem::current_path(here);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_FALSE(r.report.empty());
}

TEST(Analyse, RefusesBadSettingsAndDataWithTheBatchMessage) {
  std::vector<double> noise(2000);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = std::sin(0.37 * i * i) + 0.1 * std::cos(1.3 * i);
  struct Case {
    const char* what;
    Settings settings;
    const char* message;
  };
  auto with = [](auto change) {
    Settings s;
    change(s);
    return s;
  };
  const std::vector<Case> cases = {
      {"quantile", with([](Settings& s) { s.quantile = 1.5; }), "not in (0,1)"},
      {"taper", with([](Settings& s) { s.taper = 30; }), "Taper % not in range (0,25)"},
      {"bandwidth", with([](Settings& s) { s.bandwidth = 0.4; }), "Frame length = 3 < 10"},
      {"bandwidth below 0 (a message of the report only)", with([](Settings& s) { s.bandwidth = -1; }),
       "Resolution bandwidth < 0"},
      {"AR order", with([](Settings& s) { s.ar_order = -2; }), "AR order"},
      {"start", with([](Settings& s) { s.start = 0; }), "IS in CNL file is < 1"},
      {"end", with([](Settings& s) { s.end = 5000; }), "IE"},
      {"band", with([](Settings& s) { s.band_low = 0.4, s.band_high = 0.2; }), "Upper frequency of band"},
      {"unit", with([](Settings& s) { s.unit = "light years"; }), "Sampling unit"},
      {"rate", with([](Settings& s) { s.rate = NAN; }), "Setting rate is not a finite number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      analyse(noise, c.settings);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  std::vector<double> bad = noise;
  bad[99] = INFINITY;
  try {
    analyse(bad, Settings{});
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Datum 100"), std::string::npos) << e.what();
  }
  EXPECT_THROW(analyse(std::vector<double>{}, Settings{}), Error);
}

TEST(Analyse, ChoosesTheFrameLengthAndWarnsWhenEvenTenIsTooLong) {
  bool within = false;
  EXPECT_EQ(automatic_frame_length(32768, within), 31);  // 32 gives e = 0.33333 > 0.3333
  EXPECT_TRUE(within);
  EXPECT_EQ(automatic_frame_length(1100, within), 10);
  EXPECT_TRUE(within);
  EXPECT_EQ(automatic_frame_length(999, within), 10);
  EXPECT_FALSE(within);

  std::vector<double> x(500);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.37 * i * i);
  const Result r = analyse(x, Settings{});
  EXPECT_EQ(r.frame_length, 10);
  ASSERT_GE(r.warnings.size(), 2u);
  EXPECT_NE(r.warnings[0].find("Frame length M = 10 gives ln M / ln N = 0.37051 > 1/3"), std::string::npos);
  EXPECT_NE(r.warnings[1].find("Condition for Consistency"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::testing

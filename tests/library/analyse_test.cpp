// The library's call against the batch program: the same numbers and texts
// for the example runs, the batch's messages for bad settings and data,
// and calls on two threads at once as one after the other.
#include <gtest/gtest.h>

#include <time.h>

#include <cmath>
#include <random>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library/checked_run.hpp"
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

// Settings for a quick run: no prewhitening, no bootstrap.
Settings quick() {
  Settings s;
  s.ar_order = 0;
  s.resamples = 0;
  return s;
}

// Gaussian white noise of its own seed.
std::vector<double> gaussian(std::size_t n, unsigned seed) {
  std::mt19937 draws(seed);
  std::normal_distribution<double> normal;
  std::vector<double> x(n);
  for (double& v : x) v = normal(draws);
  return x;
}

// The settings of the example batch's control files.
Settings with_quantile(Settings s, double q) {
  s.quantile = q;
  return s;
}

const std::vector<Example>& examples() {
  static const std::vector<Example> all = {
      {"white", 1, settings_of("Hz", 1000.0, 50.0, 0, 0)},
      {"bilinear", 1, settings_of("kHz", 10.0, 500.0, 5, 99)},
      {"linear", 1, settings_of("days", 1.0, 20.0, 4, 99)},
      {"irreversible", 1, settings_of("Hz", 1000.0, 50.0, 8, 99)},
      {"sunspots", 2, settings_of("years", 1.0, 25.0, 9, 199)},
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
  EXPECT_THROW(analyse(x, with_quantile(s, 2.0)), SettingsError);
  std::filesystem::current_path(here);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_FALSE(r.report.empty());
}

// Every refusal names the setting or the value as the caller gave it, by
// kind: settings that are wrong whatever the series, and series the tests
// cannot take.
TEST(Analyse, RefusesBadSettingsAndDataInTheCallersTerms) {
  std::vector<double> noise(3000);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = std::sin(0.37 * i * i) + 0.1 * std::cos(1.3 * i);
  enum Kind { Setting, Data };
  struct Case {
    std::vector<double> series;
    Settings settings;
    Kind kind;
    const char* setting;  // SettingsError::setting()
    const char* message;
  };
  auto with = [](auto change) {
    Settings s;
    change(s);
    return s;
  };
  std::vector<double> with_nan = noise, with_inf = noise;
  with_nan[100] = NAN;
  with_inf[2999] = -INFINITY;
  const std::vector<Case> cases = {
      {noise, with([](Settings& s) { s.rate = 0; }), Setting, "rate", "rate must be > 0 (got 0)"},
      {noise, with([](Settings& s) { s.rate = 1e300; }), Setting, "rate", "beyond the 32-bit range"},
      {noise, with([](Settings& s) { s.unit = "MHz"; }), Setting, "unit", "unit 'MHz' is not Hz, kHz or a time unit"},
      {noise, with([](Settings& s) { s.unit = "Hertz"; }), Setting, "unit", "is not Hz, kHz"},
      {noise, with([](Settings& s) { s.quantile = 1.5; }), Setting, "quantile", "quantile must be in (0, 1) (got 1.5)"},
      {noise, with([](Settings& s) { s.taper = 30; }), Setting, "taper", "taper must be from 0 to 25 percent (got 30)"},
      {noise, with([](Settings& s) { s.resamples = -5; }), Setting, "resamples", "(got -5)"},
      {noise, with([](Settings& s) { s.ar_threshold = 0; }), Setting, "ar_threshold", "in (0, 1] (got 0)"},
      {noise, with([](Settings& s) { s.frame_length = 5; }), Setting, "frame_length", "at least 10"},
      {noise, with([](Settings& s) { s.frame_length = 20, s.bandwidth = 0.05; }), Setting, "frame_length", "not both"},
      {noise, with([](Settings& s) { s.bandwidth = 0.4; }), Setting, "bandwidth", "gives frames of 3 points"},
      {noise, with([](Settings& s) { s.frame_length = 1000; }), Setting, "frame_length",
       "frames of 1000 points need at least 4000"},
      {noise, with([](Settings& s) { s.start = 0; }), Setting, "start", "start must be at least 1 (got 0)"},
      {noise, with([](Settings& s) { s.end = 5000; }), Setting, "end", "end (5000) is beyond the series' 3000 values"},
      {noise, with([](Settings& s) { s.ar_order = 2000; }), Setting, "ar_order", "at most half"},
      {noise, with([](Settings& s) { s.band_low = 0.4, s.band_high = 0.2; }), Setting, "band_low", "is above band_high"},
      {noise, with([](Settings& s) { s.band_high = 0.6; }), Setting, "band_high", "above the Nyquist frequency 0.5 Hz"},
      {noise, with([](Settings& s) { s.unit = "days", s.band_high = 1; }), Setting, "band_high",
       "below two sampling intervals"},
      {noise, with([](Settings& s) { s.band_low = 0.2, s.band_high = 0.21; }), Setting, "band", "single frequency"},
      {noise, with([](Settings& s) { s.band_low = 0.25, s.band_high = 0.5; }), Setting, "band", "no trifrequency with k3 > 0"},
      {with_nan, Settings{}, Data, "", "values[100] is NaN (0-based)"},
      {with_inf, Settings{}, Data, "", "values[2999] is -inf (0-based)"},
      {std::vector<double>(30, 1.0), Settings{}, Data, "", "the series has 30 values to analyse; the shortest frame (12 points) needs at least 48"},
      {{}, Settings{}, Data, "", "the series is empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    try {
      analyse(c.series, c.settings);
      ADD_FAILURE() << "no error";
    } catch (const SettingsError& e) {
      EXPECT_EQ(c.kind, Setting) << e.what();
      EXPECT_EQ(e.setting(), c.setting);
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    } catch (const DataError& e) {
      EXPECT_EQ(c.kind, Data) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

// Reals reach the run as their own 32-bit values, not through six-decimal
// texts: a rate of one a day in Hz and a bandwidth of a twentieth of it
// give frames of 20 points.
TEST(Analyse, TakesRealsAsThe32BitValuesOfTheRun) {
  const std::vector<double> x = gaussian(4000, 1);
  Settings s = quick();
  s.rate = 1.0 / 86400;
  s.bandwidth = 1.0 / (86400.0 * 20);
  const Result r = analyse(x, s);
  EXPECT_EQ(r.frame_length, 20);
  EXPECT_EQ(r.rate, static_cast<float>(1.0 / 86400));
  s.bandwidth = 0;
  s.frame_length = 25;
  EXPECT_EQ(analyse(x, s).frame_length, 25);
}

TEST(Analyse, UnitSpellings) {
  std::vector<double> x(3000);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.37 * i * i);
  const struct {
    const char* unit;
    const char* as;
  } cases[] = {{"Hz", "Hz"}, {"HZ", "Hz"}, {"hz", "Hz"}, {"kHz", "kHz"}, {"KHZ", "kHz"}, {" khz ", "kHz"},
               {"days", "days"}, {"light years", "light years"}};
  for (const auto& c : cases) {
    Settings s = quick();
    s.unit = c.unit;
    s.rate = 2.0;
    EXPECT_EQ(analyse(x, s).unit, c.as) << c.unit;
    EXPECT_EQ(is_time_unit(c.unit), std::string(c.as) != "Hz" && std::string(c.as) != "kHz");
  }
  for (const char* refused : {"MHz", "GHz", "mHz", "kilohertz", "cycles per second", ""}) {
    Settings s;
    s.unit = refused;
    EXPECT_THROW(check_settings(s), SettingsError) << refused;
  }
}

TEST(Analyse, NoticesComeAsWarningsWithTheirCodes) {
  const std::vector<double> x = gaussian(5000, 2);  // frames of 16 points: e <= 1/3
  auto codes_of = [&x](auto change) {
    Settings s = quick();
    change(s);
    std::vector<std::string> codes;
    for (const Warning& w : analyse(x, s).warnings) codes.push_back(w.code);
    return codes;
  };
  using Codes = std::vector<std::string>;
  EXPECT_EQ(codes_of([](Settings& s) { s.resamples = 50; }), (Codes{"bootstrap_off", "asymptotic"}));
  EXPECT_EQ(codes_of([](Settings& s) { s.ar_order = 2, s.resamples = 5; }),
            (Codes{"bootstrap_off", "no_ar_lag", "asymptotic"}));
  EXPECT_EQ(codes_of([](Settings& s) { s.frame_length = 64; }), (Codes{"consistency", "asymptotic"}));
  EXPECT_EQ(codes_of([](Settings& s) { s.taper = 1; }), (Codes{"taper_too_short", "asymptotic"}));
  EXPECT_EQ(codes_of([](Settings& s) { s.taper = 20; }), (Codes{"asymptotic", "taper"}));
  EXPECT_EQ(codes_of([](Settings& s) { s.ar_order = 2, s.resamples = 19, s.frame_length = 64; }),
            (Codes{"consistency", "no_ar_lag"}));
  std::vector<double> skewed = x;
  for (double& v : skewed) v = v * v;
  Settings s = quick();
  std::vector<std::string> codes;
  for (const Warning& w : analyse(skewed, s).warnings) codes.push_back(w.code);
  EXPECT_EQ(codes, (Codes{"asymptotic", "non_gaussian"}));
  // A mild excess kurtosis (about 0.5: every fourth value 1.5 times wider)
  // is beyond three standard errors on 5,000 values, and warns.
  std::vector<double> wide = x;
  for (std::size_t i = 0; i < wide.size(); i += 4) wide[i] *= 1.5;
  codes.clear();
  for (const Warning& w : analyse(wide, s).warnings) codes.push_back(w.code);
  EXPECT_EQ(codes, (Codes{"asymptotic", "non_gaussian"}));
}

// A call with no settings on a short real series: p-values to read from
// the bootstrap, and no warning to heed.
TEST(Analyse, DefaultsGiveShuffledPValuesOnTheYearlySunspots) {
  const std::vector<double> x =
      column_of(file_text(source_dir() / "examples" / "batch" / "sunspots.dat"), 2);
  ASSERT_EQ(x.size(), 309u);
  const Result r = analyse(x, Settings{});
  EXPECT_EQ(r.frame_length, 16);
  EXPECT_EQ(r.resamples, 199);
  ASSERT_TRUE(r.ar.has_value());
  EXPECT_FALSE(r.ar->lags.empty());
  for (const TestResult& t : r.tests) {
    EXPECT_TRUE(t.shuffled) << t.name;
    EXPECT_EQ(t.p, t.p_shuffled) << t.name;
    EXPECT_GE(t.p, 0.0);
    EXPECT_LE(t.p, 1.0);
  }
  EXPECT_EQ(r.tests[2].name, "gaussianity");
  EXPECT_EQ(r.tests[2].p_asymptotic, r.p_zero);
  EXPECT_EQ(r.tests[3].p_shuffled, r.shuffled_aliasing);
  EXPECT_TRUE(r.warnings.empty()) << r.warnings.front().text;
}

// Any length the memory admits: ten million values.
TEST(Analyse, TakesTenMillionValues) {
  std::vector<double> x(10'000'000);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.37 * static_cast<double>(i % 100003) * (i % 997));
  Settings s = quick();
  s.frame_length = 16;
  const Result r = analyse(x, s);
  EXPECT_EQ(r.n, 10'000'000);
  EXPECT_EQ(r.frames, 625'000);
}

// With one thread the call computes on the calling thread alone: the
// process's processor time is the thread's.
TEST(Analyse, OneThreadComputesOnTheCallingThreadAlone) {
  std::vector<double> x(1 << 16);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.37 * i * i);
  Settings s;
  s.frame_length = 64;
  s.ar_order = 2;
  s.resamples = 20;
  s.threads = 1;
  auto seconds = [](clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
  };
  const double process = seconds(CLOCK_PROCESS_CPUTIME_ID), thread = seconds(CLOCK_THREAD_CPUTIME_ID);
  analyse(x, s);
  const double on_process = seconds(CLOCK_PROCESS_CPUTIME_ID) - process;
  const double on_thread = seconds(CLOCK_THREAD_CPUTIME_ID) - thread;
  EXPECT_LT(on_process - on_thread, 0.05 * on_process + 0.01);
}

TEST(Analyse, ShouldStopEndsTheCall) {
  std::vector<double> x(1 << 16);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.37 * i * i);
  Settings s;
  s.ar_order = 2;
  s.resamples = 500;
  int asked = 0;
  s.should_stop = [&asked] { return ++asked == 3; };
  EXPECT_THROW(analyse(x, s), Cancelled);
  EXPECT_EQ(asked, 3);
}

TEST(Analyse, ChoosesTheFrameLengthForTheSeries) {
  const struct {
    long long n;
    int m;
  } cases[] = {{47, 0}, {48, 12}, {63, 15}, {64, 16}, {309, 16}, {4096, 16}, {1000000000, 16}};
  for (const auto& c : cases) EXPECT_EQ(automatic_frame_length(c.n), c.m) << c.n;
}

}  // namespace
}  // namespace quorvel::testing

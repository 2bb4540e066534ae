#pragma once
// Quorvel as a library: one call tests a series held in memory for
// nonlinearity, time irreversibility, non-Gaussianity and aliasing, and
// returns the numbers of the run, its warnings and the texts of its report
// and value files.
//
//   quorvel::Result r = quorvel::analyse(values, quorvel::Settings{});  // throws quorvel::Error
//   for (const quorvel::TestResult& t : r.tests) std::printf("%s %g\n", t.name.c_str(), t.p);
//
// The defaults follow the statistical guidance: AR prewhitening and a
// bootstrap of 199 resamples, whose ("Shuffled") p-values hold their level
// for non-Gaussian series too, and a frame length chosen for the series.
//
// Settings are checked before anything runs; a bad one raises SettingsError
// and a bad series DataError, each naming the setting or the value (0-based)
// as the caller gave it. A call writes no file and never ends the process;
// calls on several threads at once give the same results as one after the
// other.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

struct Settings {
  // "Hz" or "kHz" in any letter case, or the name of a time unit ("days");
  // another frequency unit ("MHz", "Hertz") is refused.
  std::string unit = "Hz";
  double rate = 1.0;           // sampling rate in kHz or Hz; the sampling interval for a time unit
  double band_low = 0.0;       // lower frequency; for a time unit the longest period (0: the lowest)
  double band_high = 0.0;      // upper frequency; for a time unit the shortest period (0: Nyquist)
  double taper = 0.0;          // taper, percent of each frame, 0 to 25
  double bandwidth = 0.0;      // resolution bandwidth, which sets the frame length, or
  int frame_length = 0;        // the frame length M itself (at least 10); both 0: chosen (below)
  // Largest AR order of the prewhitening; 0 = none; none given: min(10, N / 10).
  std::optional<int> ar_order;
  double ar_threshold = 0.05;  // p-value threshold for keeping an AR lag, in (0, 1]
  int start = 1;               // first value analysed (1-based)
  int end = 0;                 // last value analysed (1-based); 0 = the last
  int resamples = 199;         // bootstrap resamples (0: none; 11 or more, with prewhitening)
  double quantile = 0.8;       // quantile of the nonlinearity test, in (0, 1)
  // Seed of the shuffles of the bootstrap; none starts where the batch
  // program starts, so a call gives the numbers of a one-run batch.
  std::optional<std::uint32_t> seed;
  std::string title;  // the report's title line (the data file's first line in a batch)
  int threads = 0;    // threads this call may use; 0 = the processors of the machine
  // Asked now and then while the call computes (between chunks of frames
  // and between rounds of resamples); true ends the call with Cancelled.
  std::function<bool()> should_stop;
};
// With bandwidth and frame_length 0 the frame length is 16 points, the
// frame whose tests had the most power in the simulations of the
// statistical guidance, at a cost linear in N; series of 48 to 63 values
// take four frames of N / 4 points, and shorter ones are refused (no frame
// gives the tests the values they need).

// A notice of the run: a stable code ("consistency", "low_count",
// "bootstrap_off", ...) and a sentence.
struct Warning {
  std::string code;
  std::string text;
};

// Mean, standard deviation, skewness, excess kurtosis, maximum and minimum.
struct Descriptive {
  double mean = 0, sd = 0, skewness = 0, kurtosis = 0, max = 0, min = 0;
};

struct ArModel {
  std::vector<int> lags;             // the kept lags, ascending (empty: no lag kept)
  std::vector<double> coefficients;  // of each kept lag
  std::vector<double> t_values;      // coefficient / standard error
  double adjusted_r2 = 0;
  double residual_sd = 0;             // standard error of the fit
  double white_noise_p = 0;           // portmanteau p-value of the residuals
  std::vector<double> root_amplitudes;
  // Frequencies (kHz, Hz) or periods (time unit) of the roots; 0 for a real root.
  std::vector<double> root_values;
};

// A probability plane of a value file: value(b, a) = plane[b * size + a] for
// the first frequency axis[a] and the second frequency axis[b] (a row per
// second frequency, as the file's lines run).
struct Plane {
  int size = 0;
  std::vector<double> values;
  std::vector<double> axis;  // frequencies (kHz, Hz) or periods (time unit) of the band
};

// The stationary trispectral values in the order of the grid.
struct ValueTable {
  std::vector<int> k1, k2, k3, k4;  // frequency indices, k4 = -(k1 + k2 + k3)
  std::vector<double> probability;  // the trispectral probability ("1-Pr")
  std::vector<double> phase;        // degrees
  std::vector<int> order;           // positions in which 1 - probability ascends
};

// One test of a run, with the p-value to read.
struct TestResult {
  std::string name;         // "nonlinearity", "reversibility", "gaussianity" (zero trispectrum), "aliasing"
  double statistic = 0;     // z of the quantile test; the chi-square sums of the others
  double df = 0;            // degrees of freedom of the chi-square tests; NaN for z
  double p_asymptotic = 0;  // from the reference distribution, as the report prints it
  double p_shuffled = 0;    // the bootstrap's share of resamples as extreme; NaN without it
  // The p-value to read: the Shuffled one when the bootstrap ran (it holds
  // its level whatever the residuals' law), else the asymptotic one (which
  // assumes near-Gaussian residuals; the result then warns).
  double p = 0;
  bool shuffled = false;  // whether p is the Shuffled p-value
};

struct Result {
  // The four tests with the p-value to read of each.
  std::array<TestResult, 4> tests;
  // The four p-values and their bootstrap ("Shuffled") p-values; the
  // Shuffled ones are NaN when the bootstrap did not run.
  double p_quantile = 0, p_reversibility = 0, p_zero = 0, p_aliasing = 0;
  double shuffled_quantile = 0, shuffled_reversibility = 0, shuffled_zero = 0, shuffled_aliasing = 0;
  // The tests at full precision: statistics, degrees of freedom, valid
  // counts and the scores by which the bootstrap ranks its passes.
  double quantile_z = 0;
  double zero_statistic = 0, reversibility_statistic = 0, aliasing_statistic = 0;
  double zero_df = 0, reversibility_df = 0, aliasing_df = 0;
  int valid = 0, aliasing_valid = 0;
  double quantile_score = 0, zero_score = 0, reversibility_score = 0, aliasing_score = 0;
  double lambda = 0;  // mean noncentrality parameter

  // The run's geometry.
  int n = 0;             // values analysed
  int frame_length = 0;  // M
  int frames = 0;        // K
  double e = 0;          // bandwidth frame exponent ln M / ln N
  double bandwidth = 0;  // resolution bandwidth
  double rate = 0;
  std::string unit;
  int band_low_index = 0, band_high_index = 0;  // the band in frequency indices k / M
  double band_low = 0, band_high = 0;           // and in the run's unit (periods for a time unit)
  int stationary_positive = 0, stationary_negative = 0, aliasing_values = 0;
  double taper = 0;  // as applied (0 when it would taper fewer than 2 values)
  int resamples = 0; // as run (0: no bootstrap)

  Descriptive data;
  std::optional<Descriptive> residuals;  // when an AR lag was kept
  std::optional<ArModel> ar;             // when prewhitening was asked for
  std::array<double, 11> fractile_levels{};
  std::array<double, 11> fractiles{};           // of the trispectral probabilities
  std::array<double, 11> fractile_p_values{};
  Plane positive, negative;  // the planes of the value files for k3 > 0 and k3 < 0
  ValueTable values;

  std::vector<Warning> warnings;  // each once; a repeated one says how often
  // The texts the batch program writes for this run: the report and the
  // value files for k3 > 0 and k3 < 0.
  std::string report, positive_file, negative_file;
};

// Every error of a call; what() says what went wrong and, where there is
// one, the fix.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A setting out of its range, or settings that do not go together;
// setting() is the name of the Settings field at fault ("band" for the
// band's grid as a whole).
class SettingsError : public Error {
 public:
  SettingsError(std::string setting, const std::string& message) : Error(message), setting_(std::move(setting)) {}
  const std::string& setting() const { return setting_; }

 private:
  std::string setting_;
};
// A series the tests cannot run on: empty, too short, not finite.
class DataError : public Error {
 public:
  using Error::Error;
};
// The call was ended by Settings::should_stop.
class Cancelled : public Error {
 public:
  using Error::Error;
};

Result analyse(std::span<const double> series, const Settings& settings);

// Checks the settings that do not depend on the series (analyse checks them
// too); throws SettingsError.
void check_settings(const Settings& settings);

// Whether `unit` names a time unit, in which the rate is the sampling
// interval and the band is given as periods (longest, shortest); throws
// SettingsError for a unit that is refused.
bool is_time_unit(const std::string& unit);

}  // namespace quorvel

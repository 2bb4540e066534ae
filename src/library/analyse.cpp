// The library's entry point: the batch's run routine on in-memory texts,
// with the numbers of the run taken from what the pipeline computed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "ar/outar.hpp"
#include "common/memory_units.hpp"
#include "common/stop.hpp"
#include "common/threads.hpp"
#include "input/top.hpp"
#include "library/run_files.hpp"
#include "library/run_result.hpp"
#include "quorvel/quorvel.hpp"
#include "report/outtris.hpp"
#include "stats/dshuf.hpp"
#include "stats/dsort.hpp"

namespace quorvel {
namespace {

constexpr double kNotComputed = std::numeric_limits<double>::quiet_NaN();

// The per-thread state a call sets for its run, put back however it ends.
class CallScope {
 public:
  CallScope(MemoryFiles& files, std::mt19937& draws, int threads) {
    keep_units_in_memory(&files);
    use_own_draws(&draws);
    set_own_worker_threads(threads);
  }
  ~CallScope() {
    keep_units_in_memory(nullptr);
    use_own_draws(nullptr);
    set_own_worker_threads(0);
  }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
};

std::string trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Console lines that belong to a warning block or the closing banner
// rather than to an error.
bool is_notice(const std::string& line) {
  for (const char* p : {"Condition for Consistency", "Resolution Bandwidth =", "Bootstrap is turned off",
                        "Resamples =", "Elapsed time ="}) {
    if (starts_with(line, p)) return true;
  }
  return false;
}

// The console lines of the run other than its notices, one per line.
std::vector<std::string> console_lines(const MemoryFiles& m) {
  std::vector<std::string> lines;
  for (const CapturedRecord& r : m.console) {
    std::string line = trimmed(r.text);
    if (!line.empty() && !is_notice(line)) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> lines_of_text(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (std::string line = trimmed(text.substr(at, end - at)); !line.empty()) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += (text.empty() ? "" : "\n") + l;
  return text;
}

Descriptive descriptive(const Moments& m) { return {m.mean, m.sd, m.skew, m.kurt, m.max, m.min}; }

// The grid of the band as the value files print it, in single precision.
std::vector<double> band_axis(const RunParameters& rp) {
  std::vector<double> axis;
  for (int j = rp.lo; j <= rp.hi; ++j) {
    const float fj = static_cast<float>(j);
    axis.push_back(band_value(rp.iunit, rp.bw, fj));
  }
  return axis;
}

Plane plane_of(const std::vector<double>& plane, const RunParameters& rp) {
  Plane p;
  p.size = rp.ne;
  const std::size_t side = static_cast<std::size_t>(rp.ne) * static_cast<std::size_t>(rp.ne);
  if (side <= plane.size()) p.values.assign(plane.begin(), plane.begin() + side);
  p.axis = band_axis(rp);
  return p;
}

ArModel ar_model(const RunOutcome& o) {
  ArModel ar;
  const ArFit& fit = o.fit;
  ar.white_noise_p = kNotComputed;
  for (int j = 0; j < fit.k; ++j) {
    ar.lags.push_back(fit.lags[j]);
    ar.coefficients.push_back(fit.a[j]);
    ar.t_values.push_back(fit.se[j] > 0 ? fit.a[j] / fit.se[j] : kNotComputed);
  }
  if (fit.k == 0) return ar;
  ar.adjusted_r2 = fit.adjr2;
  ar.residual_sd = fit.s;
  ar.white_noise_p = o.white;
  std::vector<RootValue> roots;
  int err = 0;
  if (ar_roots(fit, o.rp, roots, err) && err == 0) {
    for (const RootValue& r : roots) {
      ar.root_amplitudes.push_back(r.amplitude);
      ar.root_values.push_back(r.value);
    }
  }
  return ar;
}

double p_value(float c) { return 1.0f - c; }  // as the report forms it

void fill(Result& r, const RunOutcome& o, const Settings& s, bool with_values = true) {
  const RunParameters& rp = o.rp;
  const PassResults& pr = o.results;
  r.p_quantile = p_value(pr.quantile);
  r.p_reversibility = p_value(pr.reversibility);
  r.p_zero = p_value(pr.zero);
  r.p_aliasing = p_value(pr.aliasing);
  const bool shuffled = rp.nres > 0;
  r.shuffled_quantile = shuffled ? o.shuffled.quantile : kNotComputed;
  r.shuffled_reversibility = shuffled ? o.shuffled.reversibility : kNotComputed;
  r.shuffled_zero = shuffled ? o.shuffled.zero : kNotComputed;
  r.shuffled_aliasing = shuffled ? o.shuffled.aliasing : kNotComputed;
  r.quantile_z = pr.quantile_z;
  r.zero_statistic = pr.zero_sum;
  r.reversibility_statistic = pr.reversibility_sum;
  r.aliasing_statistic = pr.aliasing_sum;
  r.zero_df = pr.zero_df;
  r.reversibility_df = pr.reversibility_df;
  r.aliasing_df = pr.aliasing_df;
  r.valid = pr.valid;
  r.aliasing_valid = pr.aliasing_valid;
  r.quantile_score = pr.quantile_score;
  r.zero_score = pr.zero_score;
  r.reversibility_score = pr.reversibility_score;
  r.aliasing_score = pr.aliasing_score;
  r.lambda = pr.lambda;

  r.n = rp.N;
  r.frame_length = rp.M;
  r.frames = rp.M > 0 ? rp.N / rp.M : 0;
  r.e = rp.e;
  r.bandwidth = rp.bw;
  r.rate = rp.rate;
  r.unit = s.unit;
  r.band_low_index = rp.lo;
  r.band_high_index = rp.hi;
  // The band as analysed (a passband end of 0 in the settings means the
  // lowest frequency or the Nyquist frequency), in the run's unit.
  const std::vector<double> axis = band_axis(rp);
  r.band_low = axis.empty() ? rp.fl : axis.front();
  r.band_high = axis.empty() ? rp.fu : axis.back();
  r.stationary_positive = rp.npos;
  r.stationary_negative = rp.nneg;
  r.aliasing_values = rp.na;
  r.taper = rp.taper;
  r.resamples = rp.nres;

  r.data = descriptive(o.data);
  if (o.fit.k > 0) r.residuals = descriptive(o.residuals);
  if (rp.iar > 0) r.ar = ar_model(o);

  const EngineArrays& a = o.arrays.engine;
  const int n = rp.npos + rp.nneg;
  std::vector<int> index(static_cast<std::size_t>(std::max(n, 1)));
  std::vector<double> work(index.size());
  r.fractile_levels = {0.001, 0.01, 0.05, 0.10, 0.25, 0.50, 0.75, 0.90, 0.95, 0.99, 0.999};
  for (double& f : r.fractile_levels) f = static_cast<float>(f);
  trispectral_fractiles(a.tr, n, index, work, r.fractiles, r.fractile_p_values);

  r.positive = plane_of(a.u, rp);
  r.negative = plane_of(a.z, rp);
  if (!with_values) return;
  // The report pass sorts only the end of its index that the results block
  // lists; the table gives the whole order (1 - probability ascending).
  std::vector<double> y(static_cast<std::size_t>(std::max(n, 0)));
  for (std::size_t i = 0; i < y.size(); ++i) y[i] = 1.0 - a.tr[i];
  std::fill(index.begin(), index.end(), 0);
  if (n > 0) indexx(n, y, index);
  ValueTable& t = r.values;
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
    t.k1.push_back(a.t1[i]);
    t.k2.push_back(a.t2[i]);
    t.k3.push_back(a.t3[i]);
    t.k4.push_back(-(a.t1[i] + a.t2[i] + a.t3[i]));
    t.probability.push_back(a.tr[i]);
    t.phase.push_back(a.ti[i]);
    t.order.push_back(index[i]);
  }
}

void add_warnings(Result& r, const RunOutcome& o, const Settings& s, const MemoryFiles& m) {
  const RunParameters& rp = o.rp;
  if (rp.e > 0.3333f) {
    char e[16];
    std::snprintf(e, sizeof e, "%.5f", static_cast<double>(rp.e));
    r.warnings.push_back(std::string("Condition for Consistency of Estimates is Violated - e =") + e);
  }
  if (s.resamples > 0 && s.resamples < 11) {
    r.warnings.push_back("Bootstrap is turned off if the number of resamples is less than 11 (Resamples = " +
                         std::to_string(s.resamples) + ")");
  } else if (s.resamples > 0 && rp.iar == 0) {
    r.warnings.push_back("Bootstrap is turned off without AR prewhitening");
  }
  if (rp.iar > 0 && o.fit.k == 0) {
    r.warnings.push_back("No AR lag kept: the tests ran on the standardised data");
  }
  if (s.taper > 0 && rp.taper == 0) r.warnings.push_back("% Taper yields no. of tapered values < 2");
  for (const std::string& line : console_lines(m)) r.warnings.push_back(line);
  // The low-count lines of the tests go to the report only.
  const std::string& report = m.files.at(kLibraryReportFile);
  for (std::size_t at = report.find("Valid trispectrum values"); at != std::string::npos;
       at = report.find("Valid trispectrum values", at + 1)) {
    r.warnings.push_back(trimmed(report.substr(at, report.find('\n', at) - at)));
  }
  // A line that every bootstrap pass writes, or that both the run and the
  // library give, is one warning, with its count when it repeats.
  std::vector<std::string> unique;
  std::vector<int> counts;
  for (const std::string& w : r.warnings) {
    const auto it = std::find(unique.begin(), unique.end(), w);
    if (it == unique.end()) {
      unique.push_back(w);
      counts.push_back(1);
    } else {
      ++counts[static_cast<std::size_t>(it - unique.begin())];
    }
  }
  for (std::size_t i = 0; i < unique.size(); ++i) {
    if (counts[i] > 1) unique[i] += " (" + std::to_string(counts[i]) + " times)";
  }
  r.warnings = std::move(unique);
}

}  // namespace

constexpr const char* kNotComputedMessage =
    "No p-values: the tests were not computed with fewer than 12 valid trispectrum values";

Result analyse(std::span<const double> series, const Settings& settings) {
  RunTexts texts = run_texts(settings, static_cast<long long>(series.size()));
  MemoryFiles files;
  files.files[kLibraryControlFile] = texts.control;
  files.files[kLibraryDataFile] = texts.header;
  files.column = series;
  files.column_given = true;
  std::mt19937 draws = settings.seed ? std::mt19937(*settings.seed) : std::mt19937();

  RunOutcome outcome;
  {
    CallScope scope(files, draws, settings.threads);
    try {
      if (open_unit(kControlUnit, kLibraryControlFile, OpenStatus::Old) != 0) throw Error("No run control text");
      float run_timer = 0;
      if (!top(run_timer, 1, 1, &outcome)) {
        // A run that went through but could not compute its tests.
        if (outcome.rp.M > 0) throw Error(kNotComputedMessage);
        throw Stop{};
      }
    } catch (const Stop&) {
      std::string message = joined(console_lines(files));
      // A few messages go to the report only: its last line.
      if (message.empty()) {
        const std::vector<std::string> report = lines_of_text(files.files[kLibraryReportFile]);
        if (!report.empty()) message = report.back();
      }
      throw Error(message.empty() ? "The run stopped" : message);
    } catch (const std::bad_alloc&) {
      throw Error("Unable to allocate work space for arrays in top");
    } catch (const Error&) {
      throw;
    } catch (const std::exception& e) {
      // As the batch program reports what it did not foresee; the caller goes on.
      throw Error(std::string("Unexpected failure: ") + e.what());
    }
  }

  Result r;
  r.warnings = texts.warnings;
  {
    // What the result computes of its own may write a message of the run's.
    CallScope scope(files, draws, settings.threads);
    fill(r, outcome, settings);
  }
  add_warnings(r, outcome, settings, files);
  r.report = files.files[kLibraryReportFile];
  r.positive_file = files.files[kLibraryPositiveFile];
  r.negative_file = files.files[kLibraryNegativeFile];
  return r;
}

Result run_result(const RunOutcome& outcome, const std::string& report, bool with_values) {
  Settings s;
  s.unit = trimmed(outcome.rp.unitname);
  s.resamples = outcome.rp.nres;
  s.taper = outcome.rp.taper;
  MemoryFiles files;  // what the result computes writes nowhere: the run's files are done
  files.files[kLibraryReportFile] = report;
  std::mt19937 draws;
  Result r;
  {
    CallScope scope(files, draws, 0);
    fill(r, outcome, s, with_values);
  }
  add_warnings(r, outcome, s, files);
  return r;
}

}  // namespace quorvel

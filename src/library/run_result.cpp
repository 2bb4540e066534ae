#include "library/run_result.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "ar/outar.hpp"
#include "common/memory_units.hpp"
#include "report/outtris.hpp"
#include "stats/dsort.hpp"

namespace quorvel {
namespace {

constexpr double kNotComputed = std::numeric_limits<double>::quiet_NaN();

std::string trimmed(const std::string& s) { return s.substr(0, s.find_last_not_of(' ') + 1); }

Descriptive descriptive(const Moments& m) { return {m.mean, m.sd, m.skew, m.kurt, m.max, m.min}; }

// The grid of the band as the value files print it, in single precision.
std::vector<double> band_axis(const RunParameters& rp) {
  std::vector<double> axis;
  for (int j = rp.lo; j <= rp.hi; ++j) axis.push_back(band_value(rp.iunit, rp.bw, static_cast<float>(j)));
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

void fill_tests(Result& r, const RunOutcome& o) {
  const PassResults& pr = o.results;
  r.p_quantile = p_value(pr.quantile);
  r.p_reversibility = p_value(pr.reversibility);
  r.p_zero = p_value(pr.zero);
  r.p_aliasing = p_value(pr.aliasing);
  const bool shuffled = o.rp.nres > 0;
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
}

// Each test with the p-value to read: the Shuffled one when the bootstrap ran.
void fill_readings(Result& r) {
  const struct {
    const char* name;
    double statistic, df, asymptotic, shuffled;
  } tests[] = {
      {"nonlinearity", r.quantile_z, kNotComputed, r.p_quantile, r.shuffled_quantile},
      {"reversibility", r.reversibility_statistic, r.reversibility_df, r.p_reversibility, r.shuffled_reversibility},
      {"gaussianity", r.zero_statistic, r.zero_df, r.p_zero, r.shuffled_zero},
      {"aliasing", r.aliasing_statistic, r.aliasing_df, r.p_aliasing, r.shuffled_aliasing},
  };
  for (std::size_t i = 0; i < r.tests.size(); ++i) {
    const auto& t = tests[i];
    const bool shuffled = !std::isnan(t.shuffled);
    r.tests[i] = {t.name, t.statistic, t.df, t.asymptotic, t.shuffled, shuffled ? t.shuffled : t.asymptotic, shuffled};
  }
}

std::string shown(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

// Where the p-values to read are the asymptotic ones, what they assume and
// whether this run meets it: near-Gaussian residuals (skewness and excess
// kurtosis within three standard errors, sqrt(6/N) and sqrt(24/N), of 0), no
// taper; the exponent e is the consistency notice's. No floor under the
// bounds: in the simulations of the statistical guidance an excess kurtosis
// of 0.5 (t(16) residuals) already made the asymptotic reversibility test
// reject 21-27 % of linear series at 4,096 to 65,536 values, while Gaussian
// residuals crossed these bounds in at most 1.6 % of the runs.
std::vector<Warning> asymptotic_warnings(const Result& r) {
  std::vector<Warning> w;
  if (r.resamples > 0) return w;
  w.push_back({"asymptotic",
               "no bootstrap ran: the p-values are the asymptotic ones, which hold their level only for "
               "near-Gaussian residuals, taper 0 and e <= 1/3 (resamples >= 11 with AR prewhitening gives "
               "Shuffled p-values)"});
  const Descriptive& d = r.residuals ? *r.residuals : r.data;
  const double n = std::max(r.n, 1);
  const double skew_bound = 3.0 * std::sqrt(6.0 / n);
  const double kurtosis_bound = 3.0 * std::sqrt(24.0 / n);
  if (std::fabs(d.skewness) > skew_bound || std::fabs(d.kurtosis) > kurtosis_bound) {
    w.push_back({"non_gaussian", std::string(r.residuals ? "the residuals" : "the series") + " have skewness " +
                                     shown(d.skewness) + " and excess kurtosis " + shown(d.kurtosis) +
                                     ": the asymptotic p-values are not calibrated for them; read Shuffled "
                                     "p-values (resamples >= 11 with AR prewhitening)"});
  }
  if (r.taper > 0) {
    w.push_back({"taper", "with a taper the asymptotic p-values are not calibrated: use taper 0 or read Shuffled "
                          "p-values"});
  }
  return w;
}

void fill_geometry(Result& r, const RunParameters& rp) {
  r.n = rp.N;
  r.frame_length = rp.M;
  r.frames = rp.M > 0 ? rp.N / rp.M : 0;
  r.e = rp.e;
  r.bandwidth = rp.bw;
  r.rate = rp.rate;
  r.unit = trimmed(rp.unitname);
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
}

void fill_values(Result& r, const RunOutcome& o, bool with_values) {
  const RunParameters& rp = o.rp;
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

// What the result computes of its own (fractiles, AR roots) may write a
// message as the run would: while this lives it goes nowhere.
class Quiet {
 public:
  Quiet() : before_(memory_files()) { keep_units_in_memory(&nowhere_); }
  ~Quiet() { keep_units_in_memory(before_); }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  MemoryFiles nowhere_;
  MemoryFiles* before_;
};

}  // namespace

std::vector<Warning> counted(const std::vector<Warning>& warnings) {
  std::vector<Warning> unique;
  std::vector<int> counts;
  for (const Warning& w : warnings) {
    const auto it = std::find_if(unique.begin(), unique.end(),
                                 [&w](const Warning& u) { return u.code == w.code && u.text == w.text; });
    if (it == unique.end()) {
      unique.push_back(w);
      counts.push_back(1);
    } else {
      ++counts[static_cast<std::size_t>(it - unique.begin())];
    }
  }
  for (std::size_t i = 0; i < unique.size(); ++i) {
    if (counts[i] > 1) unique[i].text += " (" + std::to_string(counts[i]) + " times)";
  }
  return unique;
}

Result run_result(const RunOutcome& outcome, bool with_values) {
  Quiet quiet;
  Result r;
  fill_tests(r, outcome);
  fill_geometry(r, outcome.rp);
  r.data = descriptive(outcome.data);
  if (outcome.fit.k > 0) r.residuals = descriptive(outcome.residuals);
  if (outcome.rp.iar > 0) r.ar = ar_model(outcome);
  fill_values(r, outcome, with_values);
  fill_readings(r);
  std::vector<Warning> notices;
  for (const Diagnostic& d : outcome.notices) notices.push_back({d.code, d.text});
  for (Warning& w : asymptotic_warnings(r)) notices.push_back(std::move(w));
  r.warnings = counted(notices);
  return r;
}

}  // namespace quorvel

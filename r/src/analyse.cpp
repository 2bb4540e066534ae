// The bridge from R to the library: settings from a named list, the result
// as a named list of plain vectors (the R code shapes it into htests).
// Every C++ exception is caught here, so an error never unwinds through R.
#include <Rcpp.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "quorvel/quorvel.hpp"

namespace {

using Rcpp::_;

quorvel::Settings settings_of(const Rcpp::List& s) {
  quorvel::Settings out;
  out.unit = Rcpp::as<std::string>(s["unit"]);
  out.rate = Rcpp::as<double>(s["rate"]);
  out.band_low = Rcpp::as<double>(s["band_low"]);
  out.band_high = Rcpp::as<double>(s["band_high"]);
  out.taper = Rcpp::as<double>(s["taper"]);
  out.bandwidth = Rcpp::as<double>(s["bandwidth"]);
  if (!Rf_isNull(s["ar_order"])) out.ar_order = Rcpp::as<int>(s["ar_order"]);
  out.ar_threshold = Rcpp::as<double>(s["ar_threshold"]);
  out.resamples = Rcpp::as<int>(s["resamples"]);
  out.quantile = Rcpp::as<double>(s["quantile"]);
  // The R code has checked that a seed is a whole number in 0 .. 2^32 - 1.
  if (!Rf_isNull(s["seed"])) out.seed = static_cast<std::uint32_t>(Rcpp::as<double>(s["seed"]));
  out.title = Rcpp::as<std::string>(s["title"]);
  out.threads = Rcpp::as<int>(s["threads"]);
  out.frame_length = Rcpp::as<int>(s["frame_length"]);
  return out;
}

void check_interrupt_now(void*) { R_CheckUserInterrupt(); }

// Asked by the library now and then while it computes: at most every 50 ms,
// whether the user has pressed Ctrl-C. R's check jumps out on an interrupt;
// R_ToplevelExec keeps that jump inside R's own frames.
class InterruptCheck {
 public:
  explicit InterruptCheck(bool* interrupted) : interrupted_(interrupted) {}
  bool operator()() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(50)) return false;
    last_ = now;
    if (R_ToplevelExec(check_interrupt_now, nullptr)) return false;
    *interrupted_ = true;
    return true;
  }

 private:
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
  bool* interrupted_;
};

Rcpp::NumericVector descriptive(const quorvel::Descriptive& d) {
  return Rcpp::NumericVector::create(_["mean"] = d.mean, _["sd"] = d.sd, _["skewness"] = d.skewness,
                                     _["kurtosis"] = d.kurtosis, _["max"] = d.max, _["min"] = d.min);
}

Rcpp::List plane(const quorvel::Plane& p) {
  return Rcpp::List::create(_["size"] = p.size, _["values"] = p.values, _["axis"] = p.axis);
}

Rcpp::List ar_model(const quorvel::ArModel& a) {
  return Rcpp::List::create(_["lags"] = a.lags, _["coefficients"] = a.coefficients, _["t_values"] = a.t_values,
                            _["adjusted_r2"] = a.adjusted_r2, _["residual_sd"] = a.residual_sd,
                            _["white_noise_p"] = a.white_noise_p, _["root_amplitudes"] = a.root_amplitudes,
                            _["root_values"] = a.root_values);
}

Rcpp::List value_table(const quorvel::ValueTable& v) {
  return Rcpp::List::create(_["k1"] = v.k1, _["k2"] = v.k2, _["k3"] = v.k3, _["k4"] = v.k4,
                            _["probability"] = v.probability, _["phase"] = v.phase);
}

// Rcpp's List::create takes at most 20 elements, so the result is built by name.
Rcpp::List result_list(const quorvel::Result& r) {
  Rcpp::List out;
  // The four tests as columns, in the library's order.
  Rcpp::CharacterVector names;
  Rcpp::NumericVector statistic, df, p_asymptotic, p_shuffled, p;
  Rcpp::LogicalVector shuffled;
  for (const quorvel::TestResult& t : r.tests) {
    names.push_back(t.name);
    statistic.push_back(t.statistic);
    df.push_back(t.df);
    p_asymptotic.push_back(t.p_asymptotic);
    p_shuffled.push_back(t.p_shuffled);
    p.push_back(t.p);
    shuffled.push_back(t.shuffled);
  }
  out["tests"] = Rcpp::List::create(_["name"] = names, _["statistic"] = statistic, _["df"] = df,
                                    _["p_asymptotic"] = p_asymptotic, _["p_shuffled"] = p_shuffled, _["p"] = p,
                                    _["shuffled"] = shuffled);
  out["valid"] = r.valid;
  out["aliasing_valid"] = r.aliasing_valid;
  out["lambda"] = r.lambda;
  out["n"] = r.n;
  out["M"] = r.frame_length;
  out["K"] = r.frames;
  out["e"] = r.e;
  out["bandwidth"] = r.bandwidth;
  out["rate"] = r.rate;
  out["unit"] = r.unit;
  out["band"] = Rcpp::NumericVector::create(r.band_low, r.band_high);
  out["band_index"] = Rcpp::IntegerVector::create(r.band_low_index, r.band_high_index);
  out["counts"] = Rcpp::IntegerVector::create(_["positive"] = r.stationary_positive,
                                              _["negative"] = r.stationary_negative,
                                              _["aliasing"] = r.aliasing_values);
  out["taper"] = r.taper;
  out["resamples"] = r.resamples;
  out["data"] = descriptive(r.data);
  out["residuals"] = r.residuals ? Rcpp::RObject(descriptive(*r.residuals)) : Rcpp::RObject(R_NilValue);
  out["ar"] = r.ar ? Rcpp::RObject(ar_model(*r.ar)) : Rcpp::RObject(R_NilValue);
  out["fractile_levels"] = std::vector<double>(r.fractile_levels.begin(), r.fractile_levels.end());
  out["fractiles"] = std::vector<double>(r.fractiles.begin(), r.fractiles.end());
  out["fractile_p_values"] = std::vector<double>(r.fractile_p_values.begin(), r.fractile_p_values.end());
  out["positive"] = plane(r.positive);
  out["negative"] = plane(r.negative);
  out["values"] = value_table(r.values);
  std::vector<std::string> codes, texts;
  for (const quorvel::Warning& w : r.warnings) {
    codes.push_back(w.code);
    texts.push_back(w.text);
  }
  out["warnings"] = Rcpp::List::create(_["code"] = codes, _["text"] = texts);
  out["report"] = r.report;
  return out;
}

}  // namespace

// A failed run comes back as list(error = message, kind = ...) and an
// interrupted one as list(interrupted = TRUE), so that the R code raises
// the condition in the caller's frame.
extern "C" SEXP quorvel_analyse(SEXP series, SEXP settings) {
  BEGIN_RCPP
  const Rcpp::NumericVector x(series);
  quorvel::Settings s = settings_of(Rcpp::List(settings));
  bool interrupted = false;
  s.should_stop = InterruptCheck(&interrupted);
  quorvel::Result r;
  auto failure = [](const char* kind, const quorvel::Error& e) {
    return Rcpp::List::create(_["error"] = std::string(e.what()), _["kind"] = kind);
  };
  try {
    r = quorvel::analyse(std::span<const double>(x.begin(), x.end()), s);
  } catch (const quorvel::Cancelled& e) {
    if (interrupted) return Rcpp::List::create(_["interrupted"] = true);
    return failure("error", e);
  } catch (const quorvel::SettingsError& e) {
    return failure("settings", e);
  } catch (const quorvel::DataError& e) {
    return failure("data", e);
  } catch (const quorvel::Error& e) {
    return failure("error", e);
  }
  return result_list(r);
  END_RCPP
}

// The library's rule for units: TRUE for a time unit, FALSE for Hz or kHz;
// a refused unit comes back as list(error = message, kind = "settings").
extern "C" SEXP quorvel_is_time_unit(SEXP unit) {
  BEGIN_RCPP
  try {
    return Rcpp::wrap(quorvel::is_time_unit(Rcpp::as<std::string>(unit)));
  } catch (const quorvel::SettingsError& e) {
    return Rcpp::List::create(_["error"] = std::string(e.what()), _["kind"] = "settings");
  }
  END_RCPP
}

extern "C" void R_init_quorvel(DllInfo* dll) {
  static const R_CallMethodDef calls[] = {
      {"quorvel_analyse", reinterpret_cast<DL_FUNC>(&quorvel_analyse), 2},
      {"quorvel_is_time_unit", reinterpret_cast<DL_FUNC>(&quorvel_is_time_unit), 1},
      {nullptr, nullptr, 0}};
  R_registerRoutines(dll, nullptr, calls, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
}

// The extension module quorvel._core: the library's one call, with the
// interpreter lock released while it computes, and its result as a dict of
// numbers, lists and numpy arrays for the package's Result.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "quorvel/quorvel.hpp"

namespace py = pybind11;

namespace {

py::array_t<double> array_of(const std::vector<double>& v) { return py::array_t<double>(v.size(), v.data()); }

py::array_t<int> int_array_of(const std::vector<int>& v) { return py::array_t<int>(v.size(), v.data()); }

py::array_t<double> plane_array(const quorvel::Plane& p) {
  py::array_t<double> a({p.size, p.size});
  if (!p.values.empty()) std::copy(p.values.begin(), p.values.end(), a.mutable_data());
  return a;
}

py::dict descriptive(const quorvel::Descriptive& d) {
  py::dict out;
  out["mean"] = d.mean;
  out["sd"] = d.sd;
  out["skewness"] = d.skewness;
  out["kurtosis"] = d.kurtosis;
  out["max"] = d.max;
  out["min"] = d.min;
  return out;
}

py::dict as_dict(const quorvel::Result& r) {
  py::dict d;
  d["p_quantile"] = r.p_quantile;
  d["p_reversibility"] = r.p_reversibility;
  d["p_zero"] = r.p_zero;
  d["p_aliasing"] = r.p_aliasing;
  d["shuffled_quantile"] = r.shuffled_quantile;
  d["shuffled_reversibility"] = r.shuffled_reversibility;
  d["shuffled_zero"] = r.shuffled_zero;
  d["shuffled_aliasing"] = r.shuffled_aliasing;
  d["quantile_z"] = r.quantile_z;
  d["zero_statistic"] = r.zero_statistic;
  d["reversibility_statistic"] = r.reversibility_statistic;
  d["aliasing_statistic"] = r.aliasing_statistic;
  d["zero_df"] = r.zero_df;
  d["reversibility_df"] = r.reversibility_df;
  d["aliasing_df"] = r.aliasing_df;
  d["valid"] = r.valid;
  d["aliasing_valid"] = r.aliasing_valid;
  d["quantile_score"] = r.quantile_score;
  d["zero_score"] = r.zero_score;
  d["reversibility_score"] = r.reversibility_score;
  d["aliasing_score"] = r.aliasing_score;
  d["lambda_hat"] = r.lambda;
  d["N"] = r.n;
  d["M"] = r.frame_length;
  d["K"] = r.frames;
  d["e"] = r.e;
  d["bandwidth"] = r.bandwidth;
  d["rate"] = r.rate;
  d["unit"] = r.unit;
  d["band_index"] = py::make_tuple(r.band_low_index, r.band_high_index);
  d["band"] = py::make_tuple(r.band_low, r.band_high);
  d["stationary_positive"] = r.stationary_positive;
  d["stationary_negative"] = r.stationary_negative;
  d["aliasing_values"] = r.aliasing_values;
  d["taper"] = r.taper;
  d["resamples"] = r.resamples;
  d["data_statistics"] = descriptive(r.data);
  d["residual_statistics"] = r.residuals ? py::object(descriptive(*r.residuals)) : py::none();
  if (r.ar) {
    py::dict ar;
    ar["lags"] = r.ar->lags;
    ar["coefficients"] = r.ar->coefficients;
    ar["t_values"] = r.ar->t_values;
    ar["adjusted_r2"] = r.ar->adjusted_r2;
    ar["residual_sd"] = r.ar->residual_sd;
    ar["white_noise_p"] = r.ar->white_noise_p;
    ar["root_amplitudes"] = r.ar->root_amplitudes;
    ar["root_values"] = r.ar->root_values;
    d["ar"] = ar;
  } else {
    d["ar"] = py::none();
  }
  d["fractile_levels"] = std::vector<double>(r.fractile_levels.begin(), r.fractile_levels.end());
  d["fractiles"] = std::vector<double>(r.fractiles.begin(), r.fractiles.end());
  d["fractile_p_values"] = std::vector<double>(r.fractile_p_values.begin(), r.fractile_p_values.end());
  d["plane_positive"] = plane_array(r.positive);
  d["plane_negative"] = plane_array(r.negative);
  d["axis"] = array_of(r.positive.axis);
  py::dict table;
  table["k1"] = int_array_of(r.values.k1);
  table["k2"] = int_array_of(r.values.k2);
  table["k3"] = int_array_of(r.values.k3);
  table["k4"] = int_array_of(r.values.k4);
  table["probability"] = array_of(r.values.probability);
  table["phase"] = array_of(r.values.phase);
  table["order"] = int_array_of(r.values.order);
  d["values"] = table;
  py::list warnings;
  for (const quorvel::Warning& w : r.warnings) warnings.append(py::make_tuple(w.code, w.text));
  d["warnings"] = warnings;
  py::list tests;
  for (const quorvel::TestResult& t : r.tests) {
    py::dict test;
    test["name"] = t.name;
    test["statistic"] = t.statistic;
    test["df"] = t.df;
    test["p_asymptotic"] = t.p_asymptotic;
    test["p_shuffled"] = t.p_shuffled;
    test["p"] = t.p;
    test["shuffled"] = t.shuffled;
    tests.append(test);
  }
  d["tests"] = tests;
  d["report"] = r.report;
  d["positive_file"] = r.positive_file;
  d["negative_file"] = r.negative_file;
  return d;
}

// Asked by the library now and then while it computes (the interpreter
// lock released): takes the lock for a moment, at most every 50 ms, and
// lets Python run its signal handlers. A KeyboardInterrupt they raise stays
// pending and ends the call.
class SignalCheck {
 public:
  bool operator()() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(50)) return false;
    last_ = now;
    py::gil_scoped_acquire locked;
    if (PyErr_CheckSignals() == 0) return false;
    *raised_ = true;
    return true;
  }
  explicit SignalCheck(bool* raised) : raised_(raised) {}

 private:
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
  bool* raised_;
};

// The package's exception of `name` (quorvel._errors), raised with
// `message` in the words of the Python call: its band is one pair.
void raise_as(const char* name, std::string message) {
  for (const auto& [field, item] : {std::pair{"band_low", "band[0]"}, {"band_high", "band[1]"}}) {
    for (std::size_t at = message.find(field); at != std::string::npos; at = message.find(field, at)) {
      message.replace(at, std::string(field).size(), item);
    }
  }
  py::object kind = py::module_::import("quorvel._errors").attr(name);
  PyErr_SetString(kind.ptr(), message.c_str());
}

py::dict analyse(py::array_t<double, py::array::c_style | py::array::forcecast> x, const std::string& unit,
                 double rate, double band_low, double band_high, double taper, double bandwidth, int frame_length,
                 std::optional<int> ar_order, double ar_threshold, int start, int end, int resamples, double quantile,
                 std::optional<std::uint32_t> seed, const std::string& title, int threads) {
  if (x.ndim() != 1) throw py::type_error("the series must be one-dimensional");
  // A copy of its own, so that nothing can change the values while the
  // lock is released.
  std::vector<double> values(x.data(), x.data() + x.size());
  quorvel::Settings s;
  s.unit = unit;
  s.rate = rate;
  s.band_low = band_low;
  s.band_high = band_high;
  s.taper = taper;
  s.bandwidth = bandwidth;
  s.frame_length = frame_length;
  s.ar_order = ar_order;
  s.ar_threshold = ar_threshold;
  s.start = start;
  s.end = end;
  s.resamples = resamples;
  s.quantile = quantile;
  s.seed = seed;
  s.title = title;
  s.threads = threads;
  bool interrupted = false;
  s.should_stop = SignalCheck(&interrupted);
  quorvel::Result r;
  try {
    py::gil_scoped_release unlocked;
    r = quorvel::analyse(values, s);
  } catch (const quorvel::Cancelled&) {
    if (interrupted) throw py::error_already_set();  // the KeyboardInterrupt of the signal handler
    throw;
  }
  return as_dict(r);
}

}  // namespace

#ifndef QUORVEL_VERSION
#error "QUORVEL_VERSION (the project's version) must be defined by the build"
#endif

PYBIND11_MODULE(_core, m) {
  m.doc() = "The Quorvel library's call (use the package quorvel)";
  m.attr("__version__") = QUORVEL_VERSION;
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const quorvel::SettingsError& e) {
      raise_as("QuorvelSettingsError", e.what());
    } catch (const quorvel::DataError& e) {
      raise_as("QuorvelDataError", e.what());
    } catch (const quorvel::Error& e) {
      raise_as("QuorvelError", e.what());
    }
  });
  m.def("analyse", &analyse, py::arg("x"), py::arg("unit"), py::arg("rate"), py::arg("band_low"),
        py::arg("band_high"), py::arg("taper"), py::arg("bandwidth"), py::arg("frame_length"), py::arg("ar_order"),
        py::arg("ar_threshold"), py::arg("start"), py::arg("end"), py::arg("resamples"), py::arg("quantile"),
        py::arg("seed"), py::arg("title"), py::arg("threads"));
}

#include "library/checked_run.hpp"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>

namespace quorvel {
namespace {

// A number as the caller would write it.
std::string shown(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

[[noreturn]] void refuse(const char* setting, const std::string& message) { throw SettingsError(setting, message); }

// A real setting as the 32-bit value the run computes with: finite, and
// where it is not 0 within the range of normal 32-bit numbers.
float real32(double v, const char* setting, const std::string& name) {
  if (!std::isfinite(v)) refuse(setting, name + " must be a finite number (got " + shown(v) + ")");
  if (std::fabs(v) > FLT_MAX) {
    refuse(setting, name + " = " + shown(v) + " is beyond the 32-bit range the run computes in (at most 3.4e+38)");
  }
  if (v != 0 && std::fabs(v) < FLT_MIN) {
    refuse(setting, name + " = " + shown(v) + " is below the 32-bit range the run computes in (at least 1.2e-38)");
  }
  return static_cast<float>(v);
}

struct UnitChoice {
  SamplingUnit kind;
  std::string name;
};

// "Hz" and "kHz" in any letter case; a word that names another frequency
// unit is refused, any other word is a time unit.
UnitChoice unit_of(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) refuse("unit", "unit is empty: give \"Hz\", \"kHz\" or a time unit such as \"days\"");
  const std::string name = text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 32 || c == 127; })) {
    refuse("unit", "unit '" + name + "' holds a control character");
  }
  const std::string word = lower(name);
  if (word == "hz") return {SamplingUnit::Hertz, "Hz"};
  if (word == "khz") return {SamplingUnit::Kilohertz, "kHz"};
  for (const char* frequency : {"hz", "hertz", "cps", "cycle", "per ", "/"}) {
    if (word.find(frequency) != std::string::npos) {
      refuse("unit", "unit '" + name +
             "' is not Hz, kHz or a time unit: give the rate in Hz or kHz, or the sampling interval in a time unit "
             "such as \"days\"");
    }
  }
  return {SamplingUnit::Time, name};
}

// The title as a data file's first line holds it: 80 characters, no
// control characters.
std::string title_of(const std::string& given) {
  std::string title = given.substr(0, 80);
  for (char& c : title) {
    if (static_cast<unsigned char>(c) < ' ' || c == 127) c = ' ';
  }
  title.resize(80, ' ');
  return title;
}

void check_band(const Settings& s, bool periods) {
  const std::string low = periods ? "band_low (the longest period)" : "band_low";
  const std::string high = periods ? "band_high (the shortest period)" : "band_high";
  for (const auto& [v, setting, name] : {std::tuple{s.band_low, "band_low", low}, {s.band_high, "band_high", high}}) {
    real32(v, setting, name);
    if (v < 0) refuse(setting, name + " must be 0 or more (got " + shown(v) + ")");
  }
  if (s.band_low > 0 && s.band_high > 0) {
    if (!periods && s.band_low > s.band_high) {
      refuse("band_low", "band_low (" + shown(s.band_low) + ") is above band_high (" + shown(s.band_high) + ")");
    }
    if (periods && s.band_low < s.band_high) {
      refuse("band_low", "band_low, the longest period (" + shown(s.band_low) + "), is below band_high, the shortest period (" +
             shown(s.band_high) + ")");
    }
  }
}

// The position of the first value in first .. last that is not finite.
void check_values(std::span<const double> series, std::size_t first, std::size_t last) {
  for (std::size_t i = first; i < last; ++i) {
    if (!std::isfinite(series[i])) {
      const char* what = std::isnan(series[i]) ? "NaN" : series[i] > 0 ? "inf" : "-inf";
      throw DataError("values[" + std::to_string(i) + "] is " + what + " (0-based): the tests need finite values");
    }
  }
}

// The run of the settings as far as they go without the series, checked.
RunSpec settings_spec(const Settings& s) {
  RunSpec spec;
  const UnitChoice unit = unit_of(s.unit);
  spec.iunit = unit.kind;
  spec.unitname = unit.name;
  const bool periods = unit.kind == SamplingUnit::Time;
  const std::string rate_name = periods ? "rate (the sampling interval of a time unit)" : "rate";
  spec.rate = real32(s.rate, "rate", rate_name);
  if (s.rate <= 0) refuse("rate", rate_name + " must be > 0 (got " + shown(s.rate) + ")");

  check_band(s, periods);
  if (periods) {
    set_passband_from_periods(static_cast<float>(s.band_low), static_cast<float>(s.band_high), spec);
  } else {
    spec.fl = static_cast<float>(s.band_low);
    spec.fu = static_cast<float>(s.band_high);
  }

  spec.taper = real32(s.taper, "taper", "taper");
  if (s.taper < 0 || s.taper > 25) refuse("taper", "taper must be from 0 to 25 percent (got " + shown(s.taper) + ")");

  spec.bw = real32(s.bandwidth, "bandwidth", "bandwidth");
  if (s.bandwidth < 0) refuse("bandwidth", "bandwidth must be > 0, or 0 to choose the frame length (got " + shown(s.bandwidth) + ")");
  if (s.frame_length < 0 || (s.frame_length > 0 && s.frame_length < 10)) {
    refuse("frame_length", "frame_length must be at least 10, or 0 to choose it (got " + std::to_string(s.frame_length) + ")");
  }
  if (s.bandwidth > 0 && s.frame_length > 0) refuse("frame_length", "give bandwidth or frame_length, not both");
  spec.frame_length = s.frame_length;

  if (s.start < 1) refuse("start", "start must be at least 1 (got " + std::to_string(s.start) + ")");
  if (s.end < 0 || (s.end != 0 && s.end < s.start)) {
    refuse("end", "end must be 0 (the last value) or at least start (" + std::to_string(s.start) + "; got " +
           std::to_string(s.end) + ")");
  }
  spec.is = s.start;
  spec.ie = s.end;
  if (s.ar_order && *s.ar_order < 0) {
    refuse("ar_order", "ar_order must be 0 (no prewhitening) or more (got " + std::to_string(*s.ar_order) + ")");
  }
  spec.pv = real32(s.ar_threshold, "ar_threshold", "ar_threshold");
  if (s.ar_threshold <= 0 || s.ar_threshold > 1) {
    refuse("ar_threshold", "ar_threshold must be in (0, 1] (got " + shown(s.ar_threshold) + ")");
  }
  if (s.resamples < 0) refuse("resamples", "resamples must be 0 (no bootstrap) or more (got " + std::to_string(s.resamples) + ")");
  spec.nres = s.resamples;
  spec.quant = real32(s.quantile, "quantile", "quantile");
  if (s.quantile <= 0 || s.quantile >= 1) refuse("quantile", "quantile must be in (0, 1) (got " + shown(s.quantile) + ")");
  if (s.threads < 0) refuse("threads", "threads must be 0 (every processor) or more (got " + std::to_string(s.threads) + ")");
  spec.title = title_of(s.title);
  // The report's Format line: the values come whole, as 17 significant
  // digits hold a double (the line a batch run on such a file prints).
  spec.fmt = "(e25.17)";
  spec.fmt.resize(50, ' ');
  spec.seed = s.seed.value_or(std::mt19937::default_seed);
  spec.threads = s.threads;
  return spec;
}

}  // namespace

int default_ar_order(int n) { return std::min(10, n / 10); }

void check_settings(const Settings& settings) { settings_spec(settings); }

bool is_time_unit(const std::string& unit) { return unit_of(unit).kind == SamplingUnit::Time; }

int automatic_frame_length(long long n) {
  if (n < 4LL * kShortestFrame) return 0;
  return static_cast<int>(std::min<long long>(kChosenFrame, n / 4));
}

RunSpec checked_run(std::span<const double> series, const Settings& s, std::vector<Warning>& warnings) {
  RunSpec spec = settings_spec(s);
  if (series.empty()) throw DataError("the series is empty");
  if (series.size() > static_cast<std::size_t>(INT_MAX)) {
    throw DataError("the series has " + std::to_string(series.size()) + " values; at most " +
                    std::to_string(INT_MAX) + " can be analysed at once");
  }
  const int size = static_cast<int>(series.size());
  spec.nrows = size;
  if (s.start > size) {
    refuse("start", "start (" + std::to_string(s.start) + ") is beyond the series' " + std::to_string(size) + " values");
  }
  if (s.end > size) refuse("end", "end (" + std::to_string(s.end) + ") is beyond the series' " + std::to_string(size) + " values");
  const int n = (s.end == 0 ? size : s.end) - s.start + 1;
  if (s.ar_order && *s.ar_order > n / 2) {
    refuse("ar_order", "ar_order must be at most half the values analysed (" + std::to_string(n / 2) + "; got " +
           std::to_string(*s.ar_order) + ")");
  }
  spec.iar = s.ar_order ? *s.ar_order : default_ar_order(n);
  check_values(series, static_cast<std::size_t>(s.start - 1), static_cast<std::size_t>(s.start - 1 + n));
  if (s.resamples > 0 && s.resamples < 11) {
    warnings.push_back({"bootstrap_off", "the bootstrap needs at least 11 resamples (got " +
                                             std::to_string(s.resamples) + "): no Shuffled p-values"});
  } else if (s.resamples > 0 && spec.iar == 0) {
    warnings.push_back({"bootstrap_off",
                        "the bootstrap shuffles the AR residuals and needs ar_order > 0: no Shuffled p-values"});
  }
  if (s.bandwidth == 0 && s.frame_length == 0) {
    spec.frame_length = automatic_frame_length(n);
    if (spec.frame_length == 0) {
      throw DataError("the series has " + std::to_string(n) + " values to analyse; the shortest frame (" +
                      std::to_string(kShortestFrame) + " points) needs at least " + std::to_string(4 * kShortestFrame));
    }
  }
  return spec;
}

void refuse_problem(const Plan& p, const Settings& s) {
  const RunParameters& rp = p.rp;
  const std::string unit = rp.unitname.substr(0, rp.unitname.find_last_not_of(' ') + 1);
  const bool periods = rp.iunit == SamplingUnit::Time;
  const bool chosen = s.bandwidth == 0 && s.frame_length == 0;
  const std::string frames = "frames of " + std::to_string(rp.M) + " points";
  const std::string take_longer = chosen ? "take longer frames (frame_length)"
                                  : s.frame_length > 0 ? "give a larger frame_length"
                                                       : "give a smaller bandwidth";
  switch (p.problem) {
    case SizingProblem::None:
      return;
    case SizingProblem::AboveNyquist:
      if (periods) {
        refuse("band_high", "band_high, the shortest period (" + shown(s.band_high) + " " + unit +
               "), is below two sampling intervals (" + shown(2.0 * s.rate) + " " + unit + ")");
      }
      refuse("band_high", "band_high (" + shown(s.band_high) + " " + unit + ") is above the Nyquist frequency " +
             shown(0.5 * rp.rate) + " " + unit + " (rate / 2)");
    case SizingProblem::LastBeyondRows:
      refuse("end", "end (" + std::to_string(s.end) + ") is beyond the series' " + std::to_string(rp.nrows) + " values");
    case SizingProblem::FrameTooShort:
      refuse("bandwidth", "bandwidth " + shown(s.bandwidth) + " gives " + frames + "; frames need at least 10 points: give a " +
             "smaller bandwidth or frame_length");
    case SizingProblem::TooFewFrames: {
      const std::string counts = "the series has " + std::to_string(rp.N) + " values to analyse; " + frames +
                                 " need at least " + std::to_string(4LL * rp.M) + " (4 frames)";
      if (chosen) throw DataError(counts);
      refuse(s.frame_length > 0 ? "frame_length" : "bandwidth", counts + ": " + (s.frame_length > 0 ? "give a smaller frame_length" : "give a larger bandwidth") +
             " (frames of at most " + std::to_string(rp.N / 4) + " points)");
    }
    case SizingProblem::BandTooNarrow:
      refuse("band", "the band holds a single frequency of the " + frames + ": widen band_low .. band_high or " + take_longer);
    case SizingProblem::ExponentOutOfBounds:
      refuse("frame_length", frames + " on " + std::to_string(rp.N) + " values give e = ln M / ln N = " + shown(rp.e) +
             ", outside (0.01, 0.99)");
    case SizingProblem::TooFewTrifrequencies:
      refuse("band", "the band holds too few trifrequencies for the tests (" + std::to_string(p.grid.npos + p.grid.nneg) +
             "; at least 6): widen band_low .. band_high or " + take_longer);
    case SizingProblem::NoPositiveValues:
      refuse("band", "the band holds no trifrequency with k3 > 0 (its lowest frequency must be at most a third of "
                     "its highest): widen band_low .. band_high");
    case SizingProblem::TooManyValues:
      refuse("band", frames + " over this band give more trispectrum values than one run can hold: narrow the band or " +
             "take shorter frames");
  }
}

}  // namespace quorvel

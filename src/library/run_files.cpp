#include "library/run_files.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace quorvel {
namespace {

// A real as the field readers take it: a point and at most six decimals.
std::string real_text(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6f", v);
  std::string s = buffer;
  while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
  return s;
}

// The real as written, with a warning when the text had to round it.
std::string held(double v, const char* name, std::vector<std::string>& warnings) {
  std::string text = real_text(v);
  if (std::strtod(text.c_str(), nullptr) != v) {
    char given[32];
    std::snprintf(given, sizeof given, "%.10g", v);
    warnings.push_back(std::string(name) + " " + given + " is taken as " + text +
                       " (six decimals, as a control file holds it)");
  }
  return text;
}

void require_finite(double v, const char* name) {
  if (!std::isfinite(v)) throw Error(std::string("Setting ") + name + " is not a finite number");
}

int frame_of(double bandwidth, double rate, int iunit) {
  const double q = iunit == 1 ? rate * 1000.0 / bandwidth : iunit == 2 ? rate / bandwidth : bandwidth / rate;
  return static_cast<int>(std::lround(q));
}

}  // namespace

int automatic_frame_length(long long n, bool& within) {
  auto exponent = [n](int m) { return logf(static_cast<float>(m)) / logf(static_cast<float>(n)); };
  within = n > 1 && exponent(10) <= 0.3333f;
  if (!within) return 10;
  int m = 10;
  while (exponent(m + 1) <= 0.3333f) ++m;
  return m;
}

RunTexts run_texts(const Settings& s, long long values) {
  const std::string& u = s.unit;
  auto breaks_a_line = [](char c) { return c == '*' || c == '#' || c == '=' || static_cast<unsigned char>(c) <= ' '; };
  if (u.empty() || u.size() > 60 || std::any_of(u.begin(), u.end(), breaks_a_line)) {
    throw Error("Sampling unit '" + u + "' is not one word of at most 60 characters without * # or =");
  }
  for (auto [v, name] : {std::pair{s.rate, "rate"}, {s.band_low, "band_low"}, {s.band_high, "band_high"},
                         {s.taper, "taper"}, {s.bandwidth, "bandwidth"}, {s.ar_threshold, "ar_threshold"},
                         {s.quantile, "quantile"}}) {
    require_finite(v, name);
  }
  auto has = [&u](const char* t) { return u.find(t) != std::string::npos; };
  const int iunit = has("kHz") || has("khz") ? 1 : has("Hz") || has("hz") ? 2 : 0;

  RunTexts t;
  std::string title = s.title.substr(0, 80);
  for (char& c : title) {
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  }
  const std::string rate = held(s.rate, "rate", t.warnings);
  t.header = title + "\nrows = " + std::to_string(values) + " columns = 1 " +
             (iunit == 0 ? "interval = " + rate : "rate = " + rate + (iunit == 1 ? " unit=kHz" : " unit=Hz")) +
             " format =(e25.17)\n";

  double bandwidth = s.bandwidth;
  if (bandwidth == 0) {
    const long long last = s.end == 0 ? values : s.end;
    const long long n = last - s.start + 1;
    bool within = true;
    const int m = automatic_frame_length(n, within);
    if (!within) {
      char e[32];
      std::snprintf(e, sizeof e, "%.5f", n > 1 ? std::log(10.0) / std::log(static_cast<double>(n)) : 1.0);
      t.warnings.push_back(std::string("Frame length M = 10 gives ln M / ln N = ") + e + " > 1/3");
    }
    const double rate_held = std::strtod(rate.c_str(), nullptr);
    bandwidth = iunit == 1 ? rate_held * 1000.0 / m : iunit == 2 ? rate_held / m : m * rate_held;
    // The bandwidth text must give back the frame length chosen.
    if (std::string text = real_text(bandwidth); frame_of(std::strtod(text.c_str(), nullptr), rate_held, iunit) != m) {
      for (int step = 1; step < 1000000; ++step) {
        const double nudged = std::strtod(text.c_str(), nullptr) + (iunit == 0 ? 1e-6 : -1e-6) * step;
        if (frame_of(nudged, rate_held, iunit) == m) {
          bandwidth = nudged;
          break;
        }
      }
    }
  }

  const bool periods = iunit == 0;
  auto line = [](const std::string& text) { return text + " *\n"; };
  t.control = line(std::string("Data file name =") + kLibraryDataFile) + line("Column number = 1") +
              line("Sampling unit =" + u) +
              line((periods ? "Longest period = " : "Lower frequency = ") + held(s.band_low, "band_low", t.warnings)) +
              line((periods ? "Shortest period = " : "Upper frequency = ") + held(s.band_high, "band_high", t.warnings)) +
              line("% taper = " + held(s.taper, "taper", t.warnings)) +
              line("Resolution bandwidth = " + (s.bandwidth == 0 ? real_text(bandwidth) : held(bandwidth, "bandwidth", t.warnings))) +
              line("Prewhiten with AR(" + std::to_string(s.ar_order) + ")") +
              line("p threshold = " + held(s.ar_threshold, "ar_threshold", t.warnings)) +
              line("start = " + std::to_string(s.start)) + line("end = " + std::to_string(s.end)) +
              line("Resamples = " + std::to_string(s.resamples)) +
              line("Quantile = " + held(s.quantile, "quantile", t.warnings)) + "#\n";
  return t;
}

}  // namespace quorvel

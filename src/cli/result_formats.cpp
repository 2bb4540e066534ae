#include "cli/result_formats.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace quorvel::cli {
namespace {

using json = nlohmann::ordered_json;

// A 32-bit quantity of the run, held as a double: the double of the
// shortest decimal that reads back as the same float, so that the JSON
// prints that decimal rather than the float's binary noise (0.604488,
// not 0.6044880151748657). NaN stays NaN (null).
double single(double v) {
  if (!std::isfinite(v)) return v;
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<float>(v));
  if (ec != std::errc()) return v;
  double d = v;
  std::from_chars(text, end, d);
  return d;
}

template <class Values>
std::vector<double> singles(const Values& values) {
  std::vector<double> out(values.begin(), values.end());
  for (double& v : out) v = single(v);
  return out;
}

json descriptive(const Descriptive& d) {
  return {{"mean", d.mean}, {"sd", d.sd}, {"skewness", d.skewness},
          {"kurtosis", d.kurtosis}, {"max", d.max}, {"min", d.min}};
}

// A plane as its rows, one per second frequency.
json rows_of(const Plane& p) {
  json rows = json::array();
  const std::size_t n = static_cast<std::size_t>(p.size);
  for (std::size_t b = 0; n > 0 && (b + 1) * n <= p.values.size(); ++b) {
    rows.push_back(singles(std::vector<double>(p.values.begin() + b * n, p.values.begin() + (b + 1) * n)));
  }
  return rows;
}

// A 32-bit quantity as the shortest text that reads back as the same
// float; empty for NaN.
std::string single_text(double v) {
  if (std::isnan(v)) return {};
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<float>(v));
  return std::string(text, ec == std::errc() ? end : text);
}

// The p-value to read as a person reads it: a Shuffled 0 is below one in
// B + 1, the resolution of B resamples.
std::string p_to_read(const TestResult& t, int resamples) {
  char text[32];
  if (t.shuffled && t.p == 0) {
    std::snprintf(text, sizeof text, "< %.2g", 1.0 / (resamples + 1));
  } else {
    std::snprintf(text, sizeof text, "%.5f", t.p);
  }
  return text;
}

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

// A CSV cell, quoted when it holds a comma, a quote or a line break.
std::string cell(const std::string& s) {
  constexpr char kQuote = '\x22';
  const bool plain = std::none_of(s.begin(), s.end(), [](char c) { return c == ',' || c == kQuote || c == '\r' || c == '\n'; });
  if (plain) return s;
  std::string q(1, kQuote);
  for (char c : s) q += c == kQuote ? std::string(2, kQuote) : std::string(1, c);
  return q + kQuote;
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& s : items) text += (text.empty() ? "" : "; ") + s;
  return text;
}

}  // namespace

json result_json(const std::string& name, const Result& r) {
  json j;
  j["name"] = name;
  j["p_quantile"] = single(r.p_quantile);
  j["p_reversibility"] = single(r.p_reversibility);
  j["p_zero"] = single(r.p_zero);
  j["p_aliasing"] = single(r.p_aliasing);
  j["shuffled_quantile"] = single(r.shuffled_quantile);
  j["shuffled_reversibility"] = single(r.shuffled_reversibility);
  j["shuffled_zero"] = single(r.shuffled_zero);
  j["shuffled_aliasing"] = single(r.shuffled_aliasing);
  j["quantile_z"] = r.quantile_z;
  j["zero_statistic"] = r.zero_statistic;
  j["reversibility_statistic"] = r.reversibility_statistic;
  j["aliasing_statistic"] = r.aliasing_statistic;
  j["zero_df"] = r.zero_df;
  j["reversibility_df"] = r.reversibility_df;
  j["aliasing_df"] = r.aliasing_df;
  j["valid"] = r.valid;
  j["aliasing_valid"] = r.aliasing_valid;
  j["quantile_score"] = r.quantile_score;
  j["zero_score"] = r.zero_score;
  j["reversibility_score"] = r.reversibility_score;
  j["aliasing_score"] = r.aliasing_score;
  j["lambda_hat"] = single(r.lambda);
  j["N"] = r.n;
  j["M"] = r.frame_length;
  j["K"] = r.frames;
  j["e"] = single(r.e);
  j["bandwidth"] = single(r.bandwidth);
  j["rate"] = single(r.rate);
  j["unit"] = r.unit;
  j["band_index"] = {r.band_low_index, r.band_high_index};
  j["band"] = {single(r.band_low), single(r.band_high)};
  j["stationary_positive"] = r.stationary_positive;
  j["stationary_negative"] = r.stationary_negative;
  j["aliasing_values"] = r.aliasing_values;
  j["taper"] = single(r.taper);
  j["resamples"] = r.resamples;
  j["data_statistics"] = descriptive(r.data);
  j["residual_statistics"] = r.residuals ? descriptive(*r.residuals) : json(nullptr);
  if (r.ar) {
    const ArModel& a = *r.ar;
    j["ar"] = {{"lags", a.lags},
               {"coefficients", a.coefficients},
               {"t_values", a.t_values},
               {"adjusted_r2", single(a.adjusted_r2)},
               {"residual_sd", single(a.residual_sd)},
               {"white_noise_p", single(a.white_noise_p)},
               {"root_amplitudes", singles(a.root_amplitudes)},
               {"root_values", singles(a.root_values)}};
  } else {
    j["ar"] = nullptr;
  }
  j["fractile_levels"] = singles(r.fractile_levels);
  j["fractiles"] = singles(r.fractiles);
  j["fractile_p_values"] = r.fractile_p_values;
  j["axis"] = singles(r.positive.axis);
  j["plane_positive"] = rows_of(r.positive);
  j["plane_negative"] = rows_of(r.negative);
  const ValueTable& t = r.values;
  if (!t.k1.empty()) {  // the batch's files leave the table to the value files
    j["values"] = {{"k1", t.k1}, {"k2", t.k2}, {"k3", t.k3}, {"k4", t.k4},
                   {"probability", t.probability}, {"phase", t.phase}, {"order", t.order}};
  }
  j["tests"] = json::array();
  for (const TestResult& t : r.tests) {
    j["tests"].push_back({{"name", t.name}, {"statistic", t.statistic}, {"df", t.df},
                          {"p_asymptotic", single(t.p_asymptotic)}, {"p_shuffled", single(t.p_shuffled)},
                          {"p", single(t.p)}, {"shuffled", t.shuffled}});
  }
  j["warnings"] = json::array();
  for (const Warning& w : r.warnings) j["warnings"].push_back({{"code", w.code}, {"text", w.text}});
  return j;
}

json failure_json(const std::string& name, const std::string& message) {
  return {{"name", name}, {"error", message}};
}

std::string json_text(const json& j) {
  // Names, cells and options may hold any bytes; what is not UTF-8 is
  // replaced (U+FFFD) rather than ending the output.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string csv_header() {
  return "name,N,M,e,p_quantile,p_reversibility,p_zero,p_aliasing,shuffled_quantile,shuffled_reversibility,"
         "shuffled_zero,shuffled_aliasing,lambda_hat,p.nonlinearity,p.reversibility,p.gaussianity,p.aliasing,p_from,"
         "warnings,error\n";
}

std::string csv_row(const std::string& name, const Result& r) {
  std::string row = cell(name) + ',' + std::to_string(r.n) + ',' + std::to_string(r.frame_length);
  for (double v : {r.e, r.p_quantile, r.p_reversibility, r.p_zero, r.p_aliasing, r.shuffled_quantile,
                   r.shuffled_reversibility, r.shuffled_zero, r.shuffled_aliasing, r.lambda}) {
    row += ',' + single_text(v);
  }
  for (const TestResult& t : r.tests) row += ',' + single_text(t.p);
  row += r.tests[0].shuffled ? ",shuffled" : ",asymptotic";
  std::vector<std::string> warnings;
  for (const Warning& w : r.warnings) warnings.push_back(w.text);
  return row + ',' + cell(joined(warnings)) + ",\n";
}

std::string csv_failure_row(const std::string& name, const std::string& message) {
  return cell(name) + std::string(18, ',') + ',' + cell(message) + '\n';
}

std::string text_block(const std::string& name, const Result& r) {
  char line[160];
  std::string text;
  auto formatted = [&line](const char* format, double v) {
    std::snprintf(line, sizeof line, format, v);
    return std::string(line);
  };
  text += name + ": N = " + std::to_string(r.n) + ", M = " + std::to_string(r.frame_length) + ", e = " +
          formatted("%.5f", r.e) + ", mean noncentrality λ̂ = " + formatted("%.5g", r.lambda) + "\n";
  text += "  " + padded("test", 28) + "  " + padded("p to read", 21) + "asymptotic   Shuffled\n";
  const char* labels[] = {"nonlinearity (quantile)", "time reversibility", "zero trispectrum", "aliasing"};
  for (std::size_t i = 0; i < r.tests.size(); ++i) {
    const TestResult& t = r.tests[i];
    text += "  " + padded(labels[i], 28) + "  " + padded(p_to_read(t, r.resamples), 9) +
            (t.shuffled ? " (Shuffled)  " : " (asymptotic)") + formatted(" %8.5f", t.p_asymptotic) +
            (t.shuffled ? formatted("   %8.5f", t.p_shuffled) : "          -") + "\n";
  }
  for (const Warning& w : r.warnings) text += "  warning: " + w.text + '\n';
  return text;
}

}  // namespace quorvel::cli

#include "cli/analyse_command.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include "cli/progress_bar.hpp"
#include "cli/read_column.hpp"
#include "cli/result_formats.hpp"
#include "common/output_file.hpp"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

// "A,B" as two numbers.
std::pair<double, double> pair_of(const std::string& text, const char* option) {
  const std::size_t comma = text.find(',');
  auto number = [&](const std::string& part) {
    char* end = nullptr;
    const double v = std::strtod(part.c_str(), &end);
    if (part.empty() || *end != '\0' || !std::isfinite(v)) {
      throw UsageError(std::string(option) + " takes two numbers as A,B, not '" + text + "'");
    }
    return v;
  };
  if (comma == std::string::npos) number("");
  return {number(text.substr(0, comma)), number(text.substr(comma + 1))};
}

// The option that sets a field of the settings.
std::string option_of(const std::string& setting, bool time_unit) {
  static const std::map<std::string, std::string> options = {
      {"unit", "--unit"},         {"rate", "--rate"},           {"taper", "--taper"},
      {"bandwidth", "--bandwidth"}, {"frame_length", "--frame"}, {"ar_order", "--ar"},
      {"ar_threshold", "--ar-threshold"}, {"start", "--start"}, {"end", "--end"},
      {"resamples", "--resamples"}, {"quantile", "--quantile"}, {"seed", "--seed"}};
  if (setting == "band_low" || setting == "band_high" || setting == "band") return time_unit ? "--periods" : "--band";
  const auto it = options.find(setting);
  return it == options.end() ? "quorvel analyse" : it->second;
}

std::string display_name(const std::string& file) { return file == "-" ? "stdin" : file; }

// The report, the value files and the JSON of an input in the output
// folder, all or none: each is written under a temporary name, and they
// are put in place once all are written. Throws Error when one cannot be.
void write_outputs(const fs::path& folder, const std::string& stem, const std::string& name, const Result& r) {
  const std::string json = json_text(result_json(name, r)) + '\n';
  const std::pair<std::string, const std::string*> files[] = {{stem + "_Quorvel.out", &r.report},
                                                              {stem + "-k3+_quorvel.out", &r.positive_file},
                                                              {stem + "-k3-_quorvel.out", &r.negative_file},
                                                              {stem + "_quorvel.json", &json}};
  std::vector<OutputFile> staged;
  auto fail = [&staged](const std::string& path, int status) {
    for (OutputFile& f : staged) discard_output(f);
    throw Error("cannot write " + path + ": " + output_failure_text(status));
  };
  for (const auto& [file, text] : files) {
    const std::string path = (folder / file).string();
    OutputFile f;
    if (int status = create_output(path, f); status != 0) fail(path, status);
    staged.push_back(f);
    std::fwrite(text->data(), 1, text->size(), f.file);
  }
  for (OutputFile& f : staged) {
    const std::string path = f.name;
    if (int status = commit_output(f); status != 0) fail(path, status);
  }
}

// Writes `text` on standard output at once; false, with the message on
// standard error, when it did not all arrive (a full disk, a closed stream).
bool delivered(const std::string& text) {
  errno = 0;
  std::cout << text << std::flush;
  if (std::cout) return true;
  const int e = errno;
  std::cerr << "quorvel analyse: cannot write standard output" << (e ? std::string(": ") + std::strerror(e) : "")
            << '\n';
  return false;
}

}  // namespace

Settings settings_of(const AnalyseOptions& o) {
  Settings s;
  s.unit = o.unit;
  s.rate = o.rate;
  bool time_unit = false;
  try {
    time_unit = is_time_unit(o.unit);
  } catch (const SettingsError& e) {
    throw UsageError(std::string("--unit: ") + e.what());
  }
  if (!o.band.empty() && !o.periods.empty()) throw UsageError("give --band or --periods, not both");
  if (!o.band.empty()) {
    if (time_unit) throw UsageError("--band takes frequencies (unit Hz or kHz); with a time unit give --periods");
    std::tie(s.band_low, s.band_high) = pair_of(o.band, "--band");
  }
  if (!o.periods.empty()) {
    if (!time_unit) throw UsageError("--periods takes periods of a time unit; with Hz or kHz give --band");
    std::tie(s.band_low, s.band_high) = pair_of(o.periods, "--periods");
  }
  s.taper = o.taper;
  if (o.frame != "auto") {
    if (o.bandwidth != 0) throw UsageError("give --bandwidth or --frame, not both");
    char* end = nullptr;
    const long m = std::strtol(o.frame.c_str(), &end, 10);
    if (o.frame.empty() || *end != '\0' || m < 10 || m > 1000000) {
      throw UsageError("--frame takes auto or a frame length of at least 10 points, not '" + o.frame + "'");
    }
    s.frame_length = static_cast<int>(m);
  } else {
    s.bandwidth = o.bandwidth;
  }
  s.ar_order = o.ar;
  s.ar_threshold = o.ar_threshold;
  s.start = o.start;
  s.end = o.end;
  s.resamples = o.resamples;
  s.quantile = o.quantile;
  s.seed = o.seed;
  try {
    check_settings(s);
  } catch (const SettingsError& e) {
    throw UsageError(option_of(e.setting(), time_unit) + ": " + e.what());
  }
  return s;
}

std::string output_stem(const std::string& file) {
  if (file == "-") return "stdin";
  const std::string base = fs::path(file).filename().string();
  const std::string stem = base.substr(0, base.find('.'));
  return stem.empty() ? base : stem;
}

int run_analyse(const AnalyseOptions& o) {
  Settings settings;
  try {
    settings = settings_of(o);
  } catch (const UsageError& e) {
    std::cerr << "quorvel analyse: " << e.what() << '\n';
    return 2;
  }
  const fs::path folder = o.output;
  if (!o.output.empty()) {
    // Two inputs of one stem would overwrite each other's reports.
    std::map<std::string, std::string> seen;
    for (const std::string& f : o.files) {
      auto [it, fresh] = seen.emplace(output_stem(f), f);
      if (!fresh && it->second != f) {
        std::cerr << "quorvel analyse: " << display_name(it->second) << " and " << display_name(f)
                  << " would both write " << it->first << "_Quorvel.out in " << o.output << '\n';
        return 2;
      }
    }
    // No output may replace an input of the invocation, whichever input
    // (or link to one) stands at its name.
    for (const std::string& f : o.files) {
      if (f != "-") protect_input_file(f);
      if (f == "-") protect_input(-1, 0, "stdin");
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) {
      std::cerr << "quorvel analyse: cannot make the folder " << o.output << (ec ? ": " + ec.message() : "") << '\n';
      return 1;
    }
  }

  if (!delivered(o.format == "csv" ? csv_header() : "")) return 1;
  int status = 0;
  bool first_block = true;
  for (const std::string& file : o.files) {
    const std::string name = display_name(file);
    std::string results;  // what this file gives on standard output
    auto fail = [&](const std::string& message) {
      std::cerr << "quorvel analyse: " << message << '\n';
      if (o.format == "csv") results = csv_failure_row(name, message);
      if (o.format == "json") results = json_text(failure_json(name, message)) + '\n';
      status = 1;
    };
    try {
      std::vector<double> values;
      if (file == "-") {
        values = read_column(std::cin, name, o.column, o.layout);
      } else {
        std::ifstream in(file, std::ios::binary);
        if (fs::is_directory(file) || !in) throw InputError(name + ": cannot be opened");
        values = read_column(in, name, o.column, o.layout);
      }
      Settings s = settings;
      s.title = name + " column " + o.column;
      Result r;
      {
        ProgressBar bar(name, !o.quiet);
        r = analyse(values, s);
      }
      if (!o.output.empty()) {
        write_outputs(folder, output_stem(file), name, r);
        if (!o.quiet) std::cerr << name << ": report and value files in " << o.output << '\n';
      }
      if (o.format == "text") {
        results = (first_block ? "" : "\n") + text_block(name, r);
        first_block = false;
      } else if (o.format == "json") {
        results = json_text(result_json(name, r)) + '\n';
      } else {
        results = csv_row(name, r);
      }
    } catch (const InputError& e) {
      fail(e.what());
    } catch (const std::exception& e) {  // the run's message, or no memory for a huge file
      fail(name + ": " + e.what());
    }
    // Results that cannot be delivered end the command, --keep-going or not.
    if (!delivered(results)) return 1;
    if (status != 0 && !o.keep_going) break;
  }
  return status;
}

}  // namespace quorvel::cli

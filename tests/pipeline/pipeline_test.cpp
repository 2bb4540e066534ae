// Whole runs of the program: the example batch gives every block of the
// report in order and both value files, deterministically, and the
// bootstrap changes nothing but its own lines, whatever the thread count.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "common/stop.hpp"
#include "common/units.hpp"
#include "input/batch.hpp"
#include "stats/dshuf.hpp"
#include "common/threads.hpp"
#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

void copy_examples(const TempDir& dir) {
  for (const auto& entry : fs::directory_iterator(source_dir() / "examples" / "batch")) {
    fs::copy_file(entry.path(), dir.path() / entry.path().filename(), fs::copy_options::overwrite_existing);
  }
}

// Lines that differ between two runs of the same batch.
bool varies(const std::string& line) {
  return line.find("Date & Time") != std::string::npos || line.find("Elapsed time") != std::string::npos ||
         line.find("Run ") != std::string::npos;
}

Lines stable_lines(const std::string& text) {
  Lines out;
  for (const auto& l : lines_of(text))
    if (!varies(l)) out.push_back(l);
  return out;
}

// Runs the batch inside this process (so that the thread count can be set).
int run_in_process(const TempDir& dir) {
  fs::path here = fs::current_path();
  fs::current_path(dir.path());
  restart_uniform_draws();
  int status = 0;
  try {
    status = run_batch();
  } catch (const Stop& s) {
    status = s.status;
  }
  close_all_units();
  fs::current_path(here);
  return status;
}

// The index of the first line at or after `from` that starts with `prefix`
// (after its leading blanks), or -1.
long find_line(const Lines& lines, const std::string& prefix, long from = 0) {
  for (long i = from; i < static_cast<long>(lines.size()); ++i) {
    std::string s = squeeze(lines[i]);
    if (s.rfind(prefix, 0) == 0) return i;
  }
  return -1;
}

void expect_report_structure(const Lines& report, bool prewhitened, bool bootstrap) {
  Lines blocks{"Trispectrum Statistics by Quorvel",
               "Column Number Used =",
               "Stationary Trispectrum Values for k3 > 0 =",
               "Stationary Trispectrum Values for k3 < 0 =",
               "Total Number of Values =",
               "Aliasing Trispectrum Values =",
               std::string(67, '*'),
               "First datum read",
               "Sample size =",
               "Resolution Bandwidth :",
               "Passband (",
               "Nonlinearity Test Computed for the",
               "Bandwidth Frame Exponent =",
               "Format:",
               std::string(60, '='),
               "Descriptive Statistics of Data",
               "Mean =",
               "Skew =",
               "Max value =",
               std::string(60, '+')};
  if (prewhitened) {
    blocks.insert(blocks.end(), {"Descriptive Statistics of Residuals", "Mean =", "White Noise Test Statistic p-value =",
                                 std::string(60, '*'), "AR(", "Adjusted R Square =",
                                 "p Value Threshold for the Iterative AR Prewhitening Method ="});
  }
  blocks.insert(blocks.end(), {"p-value = ", "p-value = ", "p-value = ", "p-value = "});
  if (bootstrap) {
    blocks.insert(blocks.end(), {"Shuffled p-value =", "Shuffled p-value =", "Shuffled p-value =",
                                 "Shuffled p-value ="});
  }
  blocks.insert(blocks.end(), {std::string(70, '='), "Mean noncentrality parameter =",
                               "Fractiles of Normalized Trispectral Probabilities", "0.001 0.01 0.05",
                               std::string(70, '='), "Version 10-26-2009", "Date & Time", "Elapsed time ="});
  long at = 0;
  for (const auto& b : blocks) {
    long found = find_line(report, b, at);
    ASSERT_GE(found, 0) << "missing or out of order: " << b;
    at = found + 1;
  }
}

// A value file: the version line, ne records of ne F9.4 (or F14.3) fields,
// and the grid record.
void expect_value_file(const std::string& text, int field) {
  Lines lines = lines_of(text);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind(" Version 10-26-2009       Run ", 0), 0u) << lines[0];
  std::size_t ne = lines.size() - 2;
  for (std::size_t i = 1; i <= ne; ++i) EXPECT_EQ(lines[i].size(), ne * field) << i;
  EXPECT_EQ(lines.back().size(), ne * (field == 9 ? 9 : 14));
}

TEST(Pipeline, ExampleBatchGivesEveryBlockInOrder) {
  TempDir dir;
  copy_examples(dir);
  ProgramRun r = dir.run();
  ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Elapsed time ="), std::string::npos);

  expect_report_structure(lines_of(dir.read("white_Quorvel.out")), false, false);     // Hz
  expect_report_structure(lines_of(dir.read("bilinear_Quorvel.out")), true, true);   // kHz
  Lines linear = lines_of(dir.read("linear_Quorvel.out"));                            // days
  EXPECT_GE(find_line(linear, "Sampling interval ="), 0);
  for (const char* stem : {"white", "bilinear"}) {
    expect_value_file(dir.read(std::string(stem) + "-k3+_quorvel.out"), 9);
    expect_value_file(dir.read(std::string(stem) + "-k3-_quorvel.out"), 9);
  }
  expect_value_file(dir.read("linear-k3+_quorvel.out"), 14);
  expect_report_structure(lines_of(dir.read("irreversible_Quorvel.out")), true, true);  // Hz
  Lines sunspots = lines_of(dir.read("sunspots_Quorvel.out"));                          // years
  expect_report_structure(sunspots, true, true);
  EXPECT_GE(find_line(sunspots, "Column Number Used = 2 No. of Columns = 2"), 0);
  expect_value_file(dir.read("sunspots-k3-_quorvel.out"), 14);
  EXPECT_EQ(dir.read("Quorvel-error.out"), "");
}

// The p-value of a test in a report: `shuffled` picks the bootstrap line;
// `test` is the start of the test's name ("time reversibility"). -1 if absent.
double p_value(const Lines& report, const std::string& test, bool shuffled) {
  const std::regex line(std::string("^ *") + (shuffled ? "Shuffled " : "") + "p-value = +([0-9.]+) for the " + test);
  std::smatch m;
  for (const auto& l : report)
    if (std::regex_search(l, m, line)) return std::stod(m[1].str());
  return -1;
}

// What examples/README.md says each run of the example batch shows.
TEST(Pipeline, ExampleBatchAgreesWithItsNotes) {
  TempDir dir;
  copy_examples(dir);
  ASSERT_EQ(dir.run().exit_status, 0);
  const std::string nonlinearity = "quantile trispectrum", reversibility = "time reversibility",
                    zero = "zero trispectrum", aliasing = "aliasing";

  const auto all = {nonlinearity, reversibility, zero, aliasing};
  Lines white = lines_of(dir.read("white_Quorvel.out"));  // Gaussian, e <= 1/3: nothing rejects
  for (const auto& test : all) EXPECT_GT(p_value(white, test, false), 0.1) << test;

  // Nonlinear (and, through the bilinear term, irreversible): every asymptotic
  // p-value is 0, and so is every shuffled one, however far in the tail.
  Lines bilinear = lines_of(dir.read("bilinear_Quorvel.out"));
  for (const auto& test : all) EXPECT_LT(p_value(bilinear, test, true), 0.05) << test;

  // Linear, non-Gaussian: the asymptotic tests reject, the shuffled ones do not.
  Lines linear = lines_of(dir.read("linear_Quorvel.out"));
  for (const auto& test : all) {
    EXPECT_LT(p_value(linear, test, false), 0.01) << test;
    EXPECT_GT(p_value(linear, test, true), 0.1) << test;
  }

  Lines irreversible = lines_of(dir.read("irreversible_Quorvel.out"));  // time irreversible, nonlinear
  EXPECT_LT(p_value(irreversible, reversibility, true), 0.05);
  EXPECT_LT(p_value(irreversible, nonlinearity, true), 0.05);

  Lines sunspots = lines_of(dir.read("sunspots_Quorvel.out"));  // real data, nonlinear
  EXPECT_LT(p_value(sunspots, nonlinearity, true), 0.05);
  EXPECT_GE(p_value(sunspots, reversibility, true), 0.0);

  // Only the sunspot run, too short for e <= 1/3, gets the consistency warning.
  for (const char* stem : {"white", "bilinear", "linear", "irreversible"}) {
    EXPECT_LT(find_line(lines_of(dir.read(std::string(stem) + "_Quorvel.out")), "Condition for Consistency"), 0)
        << stem;
  }
  EXPECT_GE(find_line(sunspots, "Condition for Consistency"), 0);
}

// A strongly nonlinear series whose statistics lie beyond the 32-bit tail:
// every asymptotic p-value prints as 0, and the series must still rank
// above its shuffles rather than tie with them.
TEST(Pipeline, ShuffledPValuesRankSeriesBeyondTheTail) {
  TempDir dir;
  std::mt19937 gen(17);
  std::normal_distribution<double> normal;
  std::string data = "bilinear\nrows = 4096 columns = 1 rate = 1000.0 unit=Hz format =(f14.6)\n";
  double x = 0, e_prev = 0;
  for (int t = -200; t < 4096; ++t) {
    const double e = normal(gen);
    x = 0.6 * x + 0.4 * x * e_prev + e;
    e_prev = e;
    if (t < 0) continue;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%14.6f\n", x);
    data += buf;
  }
  dir.write("b.dat", data);
  dir.write("b.cnl", "Data file name =b.dat *\nColumn number = 1 *\nSampling unit =Hz *\n"
                     "Lower freq = 0.0 *\nUpper freq = 0.0 *\n% taper = 0.0 *\n"
                     "Resolution bandwidth = 31.25 *\nPrewhiten AR(5) *\np threshold = 0.05 *\n"
                     "start = 1 *\nend = 0 *\nResamples = 39 *\nQuantile = 0.8 *\n#\n");
  dir.write("Runquorvel.cnl", "Runs = 1 *\nb.cnl *\n");
  ASSERT_EQ(dir.run().exit_status, 0);
  Lines report = lines_of(dir.read("b_Quorvel.out"));
  for (const char* test : {"quantile trispectrum", "time reversibility", "zero trispectrum", "aliasing"}) {
    EXPECT_EQ(p_value(report, test, false), 0.0) << test;
    EXPECT_LT(p_value(report, test, true), 0.05) << test;
  }
}

TEST(Pipeline, ReportsAreDeterministicAndThreadCountDoesNotMatter) {
  TempDir one, two;
  copy_examples(one);
  copy_examples(two);
  set_worker_threads(1);
  ASSERT_EQ(run_in_process(one), 0);
  set_worker_threads(3);
  ASSERT_EQ(run_in_process(two), 0);
  set_worker_threads(0);
  for (const auto& entry : fs::directory_iterator(one.path())) {
    std::string name = entry.path().filename().string();
    EXPECT_EQ(stable_lines(one.read(name)), stable_lines(two.read(name))) << name;
  }
}

TEST(Pipeline, BootstrapChangesOnlyItsOwnLines) {
  TempDir with, without;
  copy_examples(with);
  copy_examples(without);
  for (const TempDir* d : {&with, &without}) d->write("Runquorvel.cnl", "Runs = 1 *\nbilinear.cnl *\n");
  std::string control = without.read("bilinear.cnl");
  control.replace(control.find("Resamples = 99"), 14, "Resamples = 0 ");
  without.write("bilinear.cnl", control);
  ASSERT_EQ(with.run().exit_status, 0);
  ASSERT_EQ(without.run().exit_status, 0);

  auto strip = [](const std::string& text) {
    Lines out;
    for (const auto& l : stable_lines(text)) {
      if (l.find("Shuffled") != std::string::npos || l.find("Bootstrapped") != std::string::npos ||
          l == "  " + std::string(70, '*'))
        continue;
      out.push_back(l);
    }
    // The blank lines around the bootstrap lines go with them.
    out.erase(std::unique(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
                return a.empty() && b.empty();
              }),
              out.end());
    return out;
  };
  EXPECT_EQ(strip(with.read("bilinear_Quorvel.out")), strip(without.read("bilinear_Quorvel.out")));
  EXPECT_EQ(stable_lines(with.read("bilinear-k3+_quorvel.out")), stable_lines(without.read("bilinear-k3+_quorvel.out")));
  EXPECT_EQ(stable_lines(with.read("bilinear-k3-_quorvel.out")), stable_lines(without.read("bilinear-k3-_quorvel.out")));
}

}  // namespace
}  // namespace quorvel::testing

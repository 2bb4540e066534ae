// The command line, driven as the built program in a temporary folder:
// input layouts, bad cells, --keep-going, the three formats against a batch
// report, --help and unknown options, and the batch's summary.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/analyse_command.hpp"
#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Runs `quorvel ARGS` in `dir`, with `input` on standard input; the
// streams are caught outside `dir`, so that its files are the program's.
ProgramRun run(const TempDir& dir, const std::vector<std::string>& args, const std::string& input = "") {
  static TempDir streams;
  streams.write("in", input);
  std::string cmd = "cd '" + dir.path().string() + "' && '" + std::string(QUORVEL_BINARY) + "'";
  for (const std::string& a : args) cmd += " '" + a + "'";
  const fs::path s = streams.path();
  cmd += " < '" + (s / "in").string() + "' > '" + (s / "out").string() + "' 2> '" + (s / "err").string() + "'";
  const int status = std::system(cmd.c_str());
  ProgramRun r;
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = streams.read("out");
  r.err = streams.read("err");
  return r;
}

// 3000 values of a noisy nonlinear series, as text with six decimals.
std::vector<std::string> series_text() {
  std::vector<std::string> v;
  double x = 0.1, u = 0.3;
  for (int t = 0; t < 3000; ++t) {
    u = std::fmod(u * 997.0 + 0.123, 1.0);
    x = 0.4 * x + 0.3 * x * (u - 0.5) + (u - 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", x);
    v.push_back(text);
  }
  return v;
}

// The series in column 2 of a table, after a date column.
std::string table(const char* header, const char* separator) {
  std::string text = header;
  int t = 0;
  for (const std::string& x : series_text()) text += "2020-" + std::to_string(++t) + separator + x + "\n";
  return text;
}

// The cells of a CSV line without quoted cells.
std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out;
  std::size_t at = 0;
  for (std::size_t comma; (comma = line.find(',', at)) != std::string::npos; at = comma + 1) {
    out.push_back(line.substr(at, comma - at));
  }
  out.push_back(line.substr(at));
  return out;
}

std::map<std::string, std::string> files_of(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
    if (e.is_regular_file()) files[e.path().filename().string()] = dir.read(fs::relative(e.path(), dir.path()).string());
  }
  return files;
}

void copy_examples(const TempDir& dir) {
  for (const auto& e : fs::directory_iterator(source_dir() / "examples" / "batch")) {
    fs::copy_file(e.path(), dir.path() / e.path().filename());
  }
}

TEST(CommandLine, EveryLayoutReadsTheSameSeries) {
  TempDir dir;
  std::string plain;
  for (const std::string& x : series_text()) plain += x + "\n";
  dir.write("header.csv", table("date,x\n", ","));
  dir.write("bare.csv", table("", ", "));
  dir.write("header.txt", table("date x\n", "\t "));
  dir.write("bare.txt", table("", "  "));
  const struct {
    std::vector<std::string> args;
    std::string input;
  } cases[] = {
      {{"header.csv", "--column", "x"}, ""}, {{"header.csv", "--column", "2"}, ""},
      {{"bare.csv", "-c", "2"}, ""},         {{"header.txt", "--column", "x"}, ""},
      {{"bare.txt", "--column", "2"}, ""},   {{"-"}, plain},
      {{"-", "--column", "x"}, "x\n" + plain},
  };
  std::string expected;
  for (const auto& c : cases) {
    std::vector<std::string> args{"analyse", "--format", "csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ProgramRun r = run(dir, args, c.input);
    ASSERT_EQ(r.exit_status, 0) << c.args[0] << r.err;
    auto lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    const std::string numbers = lines[1].substr(lines[1].find(','));
    EXPECT_EQ(numbers.rfind(",3000,16,", 0), 0u) << numbers;
    if (expected.empty()) expected = numbers;
    EXPECT_EQ(numbers, expected) << c.args[0];
  }
}

TEST(CommandLine, BadCellsStopTheFileNamingLineAndColumn) {
  const struct {
    std::string text, column, message;
  } cases[] = {
      {"t,x\n1,2.5\n2,\n3,1\n", "x", "bad.csv, line 3, column 2 (x): empty cell"},
      {"t,x\n1,2.5\n2,abc\n", "2", "bad.csv, line 3, column 2 (x): 'abc' is not a number"},
      {"1,2.5\n2,inf\n", "2", "bad.csv, line 2, column 2: 'inf' is not a finite number"},
      {"1,nan\n", "2", "bad.csv, line 1, column 2: 'nan' is not a finite number"},
      {"1,2.5\n2,1e999\n", "2", "bad.csv, line 2, column 2: '1e999' is not a finite number"},
      {"1,2.5\n2\n", "2", "bad.csv, line 2, column 2: the line has only 1 column"},
      {"1,2.5\n\n2,3\n", "2", "bad.csv, line 2, column 2: empty cell"},
      {"t,x\n1,2\n", "y", "bad.csv: no column 'y' in the header row (t, x)"},
      {"t,x\n", "x", "bad.csv: no data rows below the header"},
      {"", "1", "bad.csv: no data"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    dir.write("bad.csv", c.text);
    ProgramRun r = run(dir, {"analyse", "bad.csv", "--column", c.column});
    EXPECT_EQ(r.exit_status, 1) << c.text;
    EXPECT_EQ(r.err, "quorvel analyse: " + c.message + "\n") << c.text;
    EXPECT_EQ(r.out, "") << c.text;
  }
  ProgramRun r = run(dir, {"analyse", "absent.csv"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "quorvel analyse: absent.csv: cannot be opened\n");
}

TEST(CommandLine, KeepGoingRunsTheOtherFiles) {
  TempDir dir;
  dir.write("data/a.csv", table("t,x\n", ","));
  dir.write("data/b.csv", "t,x\n1,2\n2,oops\n");
  dir.write("data/c.csv", table("t,x\n", ","));
  const std::vector<std::string> files{"data/a.csv", "data/b.csv", "data/c.csv"};
  for (bool keep_going : {true, false}) {
    std::vector<std::string> args{"analyse", "--column", "x", "--format", "csv"};
    args.insert(args.end(), files.begin(), files.end());
    if (keep_going) args.push_back("--keep-going");
    ProgramRun r = run(dir, args);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "quorvel analyse: data/b.csv, line 3, column 2 (x): 'oops' is not a number\n");
    auto lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), keep_going ? 4u : 3u) << r.out;
    EXPECT_EQ(lines[1].rfind("data/a.csv,3000,", 0), 0u);
    EXPECT_EQ(lines[2], "data/b.csv" + std::string(19, ',') + "\"data/b.csv, line 3, column 2 (x): 'oops' is not a number\"");
    if (keep_going) {
      EXPECT_EQ(lines[3].substr(10), lines[1].substr(10));
    }
  }
}

// The white noise of the example batch, its data rows as a plain file.
std::string white_rows() {
  TempDir source;
  copy_examples(source);
  auto lines = lines_of(source.read("white.dat"));
  std::string text;
  for (std::size_t i = 2; i < lines.size(); ++i) text += lines[i] + "\n";
  return text;
}

// The report's p-value of a test ("for the time reversibility test"), not the Shuffled one.
double report_p(const std::string& report, const std::string& test) {
  for (const std::string& l : lines_of(report)) {
    const std::size_t at = l.find("p-value = ");
    if (at != std::string::npos && l.find("Shuffled") == std::string::npos && l.find(" for the " + test) != std::string::npos) {
      return std::stod(l.substr(at + 10));
    }
  }
  return -1;
}

TEST(CommandLine, FormatsAgreeWithTheBatchReport) {
  TempDir batch, dir;
  copy_examples(batch);
  ASSERT_EQ(run(batch, {}).exit_status, 0);
  const std::string report = batch.read("white_Quorvel.out");
  const json from_batch = json::parse(batch.read("white_quorvel.json"));
  dir.write("white.txt", white_rows());
  const std::vector<std::string> settings{"analyse", "white.txt", "--rate", "1000", "--bandwidth", "50",
                                          "--ar",      "0",         "--resamples", "0"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = settings;
    args.insert(args.end(), more.begin(), more.end());
    return run(dir, args);
  };

  ProgramRun j = with({"--format", "json", "--output", "out"});
  ASSERT_EQ(j.exit_status, 0) << j.err;
  const json r = json::parse(j.out);
  const struct {
    const char* key;
    const char* test;
  } tests[] = {{"p_quantile", "quantile trispectrum"}, {"p_reversibility", "time reversibility"},
               {"p_zero", "zero trispectrum"}, {"p_aliasing", "aliasing"}};
  for (const auto& t : tests) {
    EXPECT_NEAR(r[t.key].get<double>(), report_p(report, t.test), 0.5e-5) << t.key;
    EXPECT_EQ(r[t.key], from_batch[t.key]) << t.key;
    EXPECT_TRUE(r["shuffled_" + std::string(t.key + 2)].is_null());
  }
  for (const char* key : {"N", "M", "K", "e", "lambda_hat", "quantile_score", "fractiles", "plane_positive"}) {
    EXPECT_EQ(r[key], from_batch[key]) << key;
  }
  EXPECT_TRUE(r.contains("values"));  // the batch's file leaves the table to the value files
  EXPECT_FALSE(from_batch.contains("values"));
  EXPECT_EQ(r["N"], 8192);
  EXPECT_EQ(r["M"], 20);

  // The report and value files of --output are the batch's, but for the
  // title (both name "white"), the data format, the date and the times.
  auto body = [](const std::string& text) {
    std::vector<std::string> kept;
    for (const std::string& l : lines_of(text)) {
      bool varies = false;
      for (const char* v : {"white", " Format: ", "Run ", "Date & Time", "Elapsed"}) varies |= l.find(v) != std::string::npos;
      if (!varies) kept.push_back(l);
    }
    return kept;
  };
  for (const char* file : {"white_Quorvel.out", "white-k3+_quorvel.out", "white-k3-_quorvel.out"}) {
    EXPECT_EQ(body(dir.read(std::string("out/") + file)), body(batch.read(file))) << file;
  }
  EXPECT_EQ(json::parse(dir.read("out/white_quorvel.json")), r);

  ProgramRun c = with({"--format", "csv"});
  ASSERT_EQ(c.exit_status, 0) << c.err;
  auto rows = lines_of(c.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], "name,N,M,e,p_quantile,p_reversibility,p_zero,p_aliasing,shuffled_quantile,"
                     "shuffled_reversibility,shuffled_zero,shuffled_aliasing,lambda_hat,p.nonlinearity,"
                     "p.reversibility,p.gaussianity,p.aliasing,p_from,warnings,error");
  EXPECT_EQ(cells(rows[1])[14], cells(rows[1])[5]) << rows[1];  // the p-value to read is the asymptotic one
  EXPECT_EQ(cells(rows[1])[17], "asymptotic") << rows[1];
  EXPECT_EQ(rows[1].rfind("white.txt,8192,20,", 0), 0u) << rows[1];
  EXPECT_EQ(std::stod(cells(rows[1])[4]), r["p_quantile"].get<double>()) << rows[1];

  ProgramRun t = with({});
  ASSERT_EQ(t.exit_status, 0) << t.err;
  char line[100];
  const double reversibility = report_p(report, "time reversibility");
  std::snprintf(line, sizeof line, "time reversibility %.5f (asymptotic) %.5f -", reversibility, reversibility);
  EXPECT_NE(squeeze(t.out).find(line), std::string::npos) << t.out;
  EXPECT_NE(t.out.find("M = 20"), std::string::npos) << t.out;
}

TEST(CommandLine, HelpVersionAndUsageErrorsTouchNoFile) {
  TempDir dir;
  copy_examples(dir);
  const auto before = files_of(dir);
  const struct {
    std::vector<std::string> args;
    int status;
    const char* out;  // found on standard output (status 0) or standard error
  } cases[] = {
      {{"--help"}, 0, "analyse"},
      {{"analyse", "--help"}, 0, "--keep-going"},
      {{"--version"}, 0, "quorvel " QUORVEL_TEST_VERSION},
      {{"--frobnicate"}, 2, "--frobnicate"},
      {{"analyse", "white.dat", "--bogus"}, 2, "--bogus"},
      {{"analyse"}, 2, "FILE"},
      {{"analyse", "x.csv", "--format", "xml"}, 2, "xml"},
      {{"analyse", "x.csv", "--bandwidth", "2", "--frame", "12"}, 2, "excludes"},
      {{"analyse", "x.csv", "--band", "1,2", "--unit", "days"}, 2, "--periods"},
      {{"analyse", "x.csv", "--frame", "9"}, 2, "at least 10"},
      {{"analyse", "x.csv", "--seed", "-1"}, 2, "seed"},
      {{"analyse", "x.csv", "--unit", "MHz"}, 2, "--unit: unit 'MHz' is not Hz, kHz or a time unit"},
      {{"analyse", "x.csv", "--rate", "1e300"}, 2, "--rate: "},
      {{"analyse", "x.csv", "--resamples", "-5"}, 2, "--resamples: resamples must be 0"},
      {{"analyse", "x.csv", "--quantile", "1"}, 2, "--quantile: "},
      {{"analyse", "x.csv", "--band", "0.3,0.1"}, 2, "--band: "},
      {{"analyse", "a/x.csv", "b/x.txt", "--output", "out"}, 2, "would both write x_Quorvel.out"},
      {{"run"}, 2, "run"},
      {{"--"}, 2, "analyse"},
  };
  for (const auto& c : cases) {
    ProgramRun r = run(dir, c.args);
    EXPECT_EQ(r.exit_status, c.status) << c.args[0] << r.err;
    EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.out), std::string::npos) << c.args.back() << r.out << r.err;
    if (c.status != 0) {
      EXPECT_EQ(r.out, "") << c.args.back();
    }
    EXPECT_EQ(files_of(dir), before) << c.args.back();
  }
}

TEST(CommandLine, OptionsBecomeTheSettingsAsGiven) {
  cli::AnalyseOptions o;
  o.unit = "days";
  o.rate = 0.7;
  o.frame = "33";
  o.periods = "100,3";
  o.ar = 4;
  o.resamples = 99;
  o.seed = 4000000000u;
  const Settings s = cli::settings_of(o);
  EXPECT_EQ(s.frame_length, 33);
  EXPECT_EQ(s.bandwidth, 0);
  EXPECT_EQ(s.band_low, 100);
  EXPECT_EQ(s.band_high, 3);
  EXPECT_EQ(s.rate, 0.7);
  EXPECT_EQ(s.ar_order, 4);
  EXPECT_EQ(s.resamples, 99);
  EXPECT_EQ(s.seed, 4000000000u);
}

// Beside its reports the batch writes each run's numbers and a summary;
// everything it wrote before is as it was.
TEST(CommandLine, BatchSummaryOfTheExampleBatch) {
  TempDir dir;
  copy_examples(dir);
  ProgramRun r = run(dir, {});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  auto rows = lines_of(dir.read("Quorvel-summary.csv"));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0].rfind("name,N,M,e,p_quantile,", 0), 0u);
  const char* stems[] = {"white", "bilinear", "linear", "irreversible", "sunspots"};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(stems[i]);
    const json j = json::parse(dir.read(std::string(stems[i]) + "_quorvel.json"));
    EXPECT_EQ(rows[i + 1].rfind(std::string(stems[i]) + "," + j["N"].dump() + "," + j["M"].dump() + ",", 0), 0u)
        << rows[i + 1];
    EXPECT_EQ(std::stod(cells(rows[i + 1])[6]), j["p_zero"].get<double>()) << rows[i + 1];
    const std::string report = dir.read(std::string(stems[i]) + "_Quorvel.out");
    EXPECT_NEAR(j["p_zero"].get<double>(), report_p(report, "zero trispectrum"), 0.5e-5);
    if (j["resamples"] != 0) {
      EXPECT_FALSE(j["shuffled_quantile"].is_null());
    }
  }
}

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

// The batch's JSON and summary follow the rule of the run's own outputs:
// never written through a link to an input; reported, and exit status 1.
TEST(CommandLine, BatchFilesNeverOverwriteAnInput) {
  namespace fs = std::filesystem;
  for (const char* link : {"white_quorvel.json", "Quorvel-summary.csv"}) {
    SCOPED_TRACE(link);
    TempDir dir;
    for (const char* f : {"white.cnl", "white.dat"}) fs::copy_file(source_dir() / "examples" / "batch" / f, dir.path() / f);
    dir.write("Runquorvel.cnl", "Number of runs = 1 *\nwhite.cnl*\n");
    const std::string data = dir.read("white.dat");
    fs::create_symlink("white.dat", dir.path() / link);
    ProgramRun r = run(dir, {});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find("is the same file as"), std::string::npos) << r.err;
    EXPECT_EQ(dir.read("white.dat"), data);
    EXPECT_TRUE(dir.exists("white_Quorvel.out"));
  }
}

}  // namespace
}  // namespace quorvel::testing

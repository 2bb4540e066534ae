// Every file the program writes, in a temporary folder, against what may
// stand at its name: a link outside the folder, a hard link to a file of
// its own, a FIFO, a link to an input. Nothing but the name is written;
// the FIFO and the input are refused and reported, never blocked on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

namespace fs = std::filesystem;

// Runs `quorvel ARGS` in `dir` (a batch without ARGS) with standard output
// sent to `out` (a file of the streams' own folder unless given).
ProgramRun run(const fs::path& dir, const std::vector<std::string>& args, const std::string& out = "") {
  static TempDir streams;
  std::string cmd = "cd '" + dir.string() + "' && '" + std::string(QUORVEL_BINARY) + "'";
  for (const std::string& a : args) cmd += " '" + a + "'";
  const fs::path s = streams.path();
  cmd += " < /dev/null " + (out.empty() ? "> '" + (s / "out").string() + "'" : out) + " 2> '" + (s / "err").string() + "'";
  const int status = std::system(cmd.c_str());
  ProgramRun r;
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = out.empty() ? streams.read("out") : "";
  r.err = streams.read("err");
  return r;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// 1024 values of white noise, as a data file of a batch or a plain column.
std::string noise(bool with_header) {
  std::string data = with_header ? "White noise\nrows = 1024 columns = 1 rate = 1000.0 unit=Hz format =(f12.6)\n" : "";
  unsigned state = 2009;
  for (int i = 0; i < 1024; ++i) {
    state = state * 1103515245u + 12345u;
    char line[32];
    std::snprintf(line, sizeof line, "%12.6f\n", static_cast<double>((state >> 8) % 20000) / 10000.0 - 1.0);
    data += line;
  }
  return data;
}

std::string control(const std::string& datafile) {
  return "Data file name =" + datafile + " *\nColumn number = 1 *\nSampling unit =Hz *\nLower freq = 100.0 *\n"
         "Upper freq = 300.0 *\n% taper = 0.0 *\nResolution bandwidth = 31.25 *\nNo whitening *\nstart = 1 *\n"
         "end = 0 *\nResamples = 0 *\nQuantile = 0.8 *\n#\n";
}

// What is put at an output's name `at`, in the folder "run" of the test's
// folder: a link to "outside.txt" one folder up, a hard link to "keep.txt"
// of nobody, a FIFO, a hard link to the `input` of the invocation.
enum class Kind { Written, NotRegular, Input };

struct Arrangement {
  const char* name;
  void (*arrange)(const fs::path& at, const fs::path& input);
  Kind kind;
};

const Arrangement kArrangements[] = {
    {"link outside the folder", [](const fs::path& at, const fs::path&) { fs::create_symlink("../outside.txt", at); },
     Kind::Written},
    {"hard link to another file",
     [](const fs::path& at, const fs::path&) { fs::create_hard_link(at.parent_path() / "keep.txt", at); }, Kind::Written},
    {"FIFO", [](const fs::path& at, const fs::path&) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); }, Kind::NotRegular},
    {"hard link to the input", [](const fs::path& at, const fs::path& input) { fs::create_hard_link(input, at); },
     Kind::Input},
};

void expect_kept(const TempDir& dir, const std::string& data) {
  EXPECT_EQ(dir.read("outside.txt"), "outside\n");
  EXPECT_EQ(dir.read("run/keep.txt"), "keep\n");
  EXPECT_EQ(dir.read("run/w.dat"), data);
}

// The batch's writers. The error file is opened before any input: a link
// to the data there is replaced like any other file.
TEST(OutputRule, EveryFileOfTheBatch) {
  const struct {
    const char* name;
    bool before_inputs;
  } writers[] = {{"Quorvel-error.out", true}, {"Quorvel-summary.csv", false}, {"w_quorvel.json", false},
                 {"w_Quorvel.out", false},    {"w-k3+_quorvel.out", false},  {"w-k3-_quorvel.out", false}};
  for (const auto& w : writers) {
    for (const Arrangement& a : kArrangements) {
      SCOPED_TRACE(std::string(w.name) + " at a " + a.name);
      TempDir dir;
      dir.write("outside.txt", "outside\n");
      dir.write("run/keep.txt", "keep\n");
      dir.write("run/w.dat", noise(true));
      dir.write("run/w.cnl", control("w.dat"));
      dir.write("run/Runquorvel.cnl", "Runs = 1 *\nw.cnl *\n");
      const fs::path folder = dir.path() / "run";
      a.arrange(folder / w.name, folder / "w.dat");
      ProgramRun r = run(folder, {});
      const bool refused = a.kind == Kind::NotRegular || (a.kind == Kind::Input && !w.before_inputs);
      EXPECT_EQ(r.exit_status, refused ? 1 : 0) << r.out << r.err;
      expect_kept(dir, noise(true));
      if (refused) {
        const std::string reason = a.kind == Kind::Input ? " is the same file as w.dat" : " is not a regular file";
        EXPECT_TRUE(contains(r.out + r.err, w.name + reason)) << r.out << r.err;
      } else {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / w.name)));
      }
    }
  }
}

// A hard link from the summary to the data of a later run of the batch
// (that data is no input yet when the summary is first written).
TEST(OutputRule, SummaryLinkedToTheDataOfALaterRun) {
  TempDir dir;
  dir.write("a.dat", noise(true));
  dir.write("b.dat", noise(true));
  dir.write("a.cnl", control("a.dat"));
  dir.write("b.cnl", control("b.dat"));
  dir.write("Runquorvel.cnl", "Runs = 2 *\na.cnl *\nb.cnl *\n");
  fs::create_hard_link(dir.path() / "b.dat", dir.path() / "Quorvel-summary.csv");
  ProgramRun r = run(dir.path(), {});
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_EQ(dir.read("b.dat"), noise(true));
  EXPECT_EQ(lines_of(dir.read("Quorvel-summary.csv")).size(), 3u);
}

// The writers of `quorvel analyse --output`, and an input at an output's name.
TEST(OutputRule, EveryFileOfTheCommandLine) {
  for (const char* name : {"a_Quorvel.out", "a-k3+_quorvel.out", "a-k3-_quorvel.out", "a_quorvel.json"}) {
    for (const Arrangement& a : kArrangements) {
      SCOPED_TRACE(std::string(name) + " at a " + a.name);
      TempDir dir;
      dir.write("outside.txt", "outside\n");
      dir.write("run/keep.txt", "keep\n");
      dir.write("run/w.dat", noise(true));
      dir.write("run/a.csv", noise(false));
      const fs::path folder = dir.path() / "run";
      const fs::path at = folder / name;
      a.arrange(at, folder / "a.csv");
      ProgramRun r = run(folder, {"analyse", "a.csv", "--rate", "1000", "--bandwidth", "31.25", "--output", ".", "--quiet"});
      const bool refused = a.kind != Kind::Written;
      EXPECT_EQ(r.exit_status, refused ? 1 : 0) << r.err;
      expect_kept(dir, noise(true));
      EXPECT_EQ(dir.read("run/a.csv"), noise(false));
      if (refused) {
        EXPECT_TRUE(contains(r.err, std::string("cannot write ./") + name)) << r.err;
        EXPECT_EQ(r.out, "");
        // All or none: no other output of the input was put in place.
        EXPECT_FALSE(fs::exists(folder / (std::string(name) == "a_quorvel.json" ? "a_Quorvel.out" : "a_quorvel.json")));
      } else {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(at)));
        EXPECT_TRUE(contains(r.out, "a.csv: N = 1024"));
      }
    }
  }
  // An input named as the output of another input is never written over,
  // not even before it is read.
  TempDir dir;
  dir.write("a.csv", noise(false));
  dir.write("a_Quorvel.out", noise(false));
  ProgramRun r = run(dir.path(), {"analyse", "a.csv", "a_Quorvel.out", "--rate", "1000", "--bandwidth", "31.25", "-o", ".", "-q", "--keep-going"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "a.csv: cannot write ./a_Quorvel.out: ./a_Quorvel.out is the same file as a_Quorvel.out"))
      << r.err;
  EXPECT_EQ(dir.read("a_Quorvel.out"), noise(false));
  EXPECT_TRUE(contains(r.out, "a_Quorvel.out: N = 1024"));
}

// Results that do not reach standard output are a failure, with its reason.
TEST(OutputRule, FailedStandardOutputIsStatusOne) {
  TempDir dir;
  dir.write("a.csv", noise(false));
  const struct {
    std::vector<std::string> args;
    std::string out, message;
  } cases[] = {
      {{"analyse", "a.csv", "--rate", "1000", "--bandwidth", "31.25", "--format", "json"}, "> /dev/full",
       "quorvel analyse: cannot write standard output: No space left on device\n"},
      {{"analyse", "a.csv", "--rate", "1000", "--bandwidth", "31.25", "--format", "csv"}, ">&-", "quorvel analyse: cannot write standard output: Bad file descriptor\n"},
      {{"analyse", "a.csv", "--rate", "1000", "--bandwidth", "31.25"}, "> /dev/full", "quorvel analyse: cannot write standard output: No space left on device\n"},
      {{"--help"}, "> /dev/full", "quorvel: cannot write standard output\n"},
      {{"--version"}, ">&-", "quorvel: cannot write standard output\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.out);
    ProgramRun r = run(dir.path(), c.args, c.out);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, c.message);
  }
}

}  // namespace
}  // namespace quorvel::testing

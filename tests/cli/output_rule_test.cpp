// Every file the program writes, in a temporary folder, against what may
// stand at its name: a link outside the folder, a hard link to a file of
// its own, a FIFO, a hard link to an input. Nothing but the name is
// written; the FIFO and the input are refused and reported, never blocked on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

enum class Kind { Written, NotRegular, Input };

// What is put at an output's name `at` in the folder "run": a link to
// "outside.txt" one folder up, a hard link to "keep.txt" of nobody, a FIFO,
// a hard link to the `input` of the invocation.
struct Arrangement {
  const char* name;
  void (*arrange)(const fs::path& at, const fs::path& input);
  Kind kind;
};

const Arrangement kArrangements[] = {
    {"link outside", [](const fs::path& at, const fs::path&) { fs::create_symlink("../outside.txt", at); }, Kind::Written},
    {"hard link", [](const fs::path& at, const fs::path&) { fs::create_hard_link(at.parent_path() / "keep.txt", at); },
     Kind::Written},
    {"FIFO", [](const fs::path& at, const fs::path&) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); }, Kind::NotRegular},
    {"input", [](const fs::path& at, const fs::path& input) { fs::create_hard_link(input, at); }, Kind::Input},
};

// A folder "run" holding the inputs, "keep.txt", and "outside.txt" above it.
void fill(const TempDir& dir) {
  dir.write("outside.txt", "outside\n");
  dir.write("run/keep.txt", "keep\n");
  dir.write("run/w.dat", noise_rows(true));
  dir.write("run/w.cnl", narrow_control("w.dat"));
  dir.write("run/Runquorvel.cnl", "Runs = 1 *\nw.cnl *\n");
  dir.write("run/a.csv", noise_rows(false));
}

void expect_kept(const TempDir& dir) {
  EXPECT_EQ(dir.read("outside.txt"), "outside\n");
  EXPECT_EQ(dir.read("run/keep.txt"), "keep\n");
  EXPECT_EQ(dir.read("run/w.dat"), noise_rows(true));
  EXPECT_EQ(dir.read("run/a.csv"), noise_rows(false));
}

// The batch's writers. The error file is opened before any input is: a
// link to the data there is replaced like any other file.
TEST(OutputRule, EveryFileOfTheBatch) {
  for (const char* name : {"Quorvel-error.out", "Quorvel-summary.csv", "w_quorvel.json", "w_Quorvel.out",
                           "w-k3+_quorvel.out", "w-k3-_quorvel.out"}) {
    for (const Arrangement& a : kArrangements) {
      SCOPED_TRACE(std::string(name) + " at a " + a.name);
      TempDir dir;
      fill(dir);
      const fs::path folder = dir.path() / "run";
      a.arrange(folder / name, folder / "w.dat");
      ProgramRun r = run_program(folder, {});
      const bool before_inputs = std::string(name) == "Quorvel-error.out";
      const bool refused = a.kind == Kind::NotRegular || (a.kind == Kind::Input && !before_inputs);
      EXPECT_EQ(r.exit_status, refused ? 1 : 0) << r.out << r.err;
      expect_kept(dir);
      if (refused) {
        const std::string reason = a.kind == Kind::Input ? " is the same file as w.dat" : " is not a regular file";
        EXPECT_TRUE(contains(r.out + r.err, name + reason)) << r.out << r.err;
      } else {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / name)));
      }
    }
  }
  // The summary hard-linked to the data of a later run, no input yet when
  // the summary is first written.
  TempDir dir;
  dir.write("a.dat", noise_rows(true));
  dir.write("b.dat", noise_rows(true));
  dir.write("a.cnl", narrow_control("a.dat"));
  dir.write("b.cnl", narrow_control("b.dat"));
  dir.write("Runquorvel.cnl", "Runs = 2 *\na.cnl *\nb.cnl *\n");
  fs::create_hard_link(dir.path() / "b.dat", dir.path() / "Quorvel-summary.csv");
  EXPECT_EQ(run_program(dir.path(), {}).exit_status, 0);
  EXPECT_EQ(dir.read("b.dat"), noise_rows(true));
  EXPECT_EQ(lines_of(dir.read("Quorvel-summary.csv")).size(), 3u);
}

// The writers of `quorvel analyse --output`, all four or none, and an input
// at an output's name.
TEST(OutputRule, EveryFileOfTheCommandLine) {
  const std::vector<std::string> args{"analyse", "a.csv", "--rate", "1000", "--bandwidth", "31.25", "-o", ".", "-q"};
  for (const char* name : {"a_Quorvel.out", "a-k3+_quorvel.out", "a-k3-_quorvel.out", "a_quorvel.json"}) {
    for (const Arrangement& a : kArrangements) {
      SCOPED_TRACE(std::string(name) + " at a " + a.name);
      TempDir dir;
      fill(dir);
      const fs::path folder = dir.path() / "run";
      a.arrange(folder / name, folder / "a.csv");
      ProgramRun r = run_program(folder, args);
      const bool refused = a.kind != Kind::Written;
      EXPECT_EQ(r.exit_status, refused ? 1 : 0) << r.err;
      expect_kept(dir);
      if (refused) {
        EXPECT_TRUE(contains(r.err, std::string("cannot write ./") + name)) << r.err;
        const char* other = std::string(name) == "a_quorvel.json" ? "a_Quorvel.out" : "a_quorvel.json";
        EXPECT_FALSE(fs::exists(folder / other));
      } else {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / name)));
        EXPECT_TRUE(contains(r.out, "a.csv: N = 1024"));
      }
    }
  }
  TempDir dir;
  dir.write("a.csv", noise_rows(false));
  dir.write("a_Quorvel.out", noise_rows(false));
  std::vector<std::string> both = args;
  both.insert(both.begin() + 2, "a_Quorvel.out");
  both.push_back("--keep-going");
  ProgramRun r = run_program(dir.path(), both);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "a.csv: cannot write ./a_Quorvel.out: ./a_Quorvel.out is the same file as a_Quorvel.out"))
      << r.err;
  EXPECT_EQ(dir.read("a_Quorvel.out"), noise_rows(false));
  EXPECT_TRUE(contains(r.out, "a_Quorvel.out: N = 1024"));
}

// Results that do not reach standard output are a failure, with its reason.
TEST(OutputRule, FailedStandardOutputIsStatusOne) {
  TempDir dir;
  dir.write("a.csv", noise_rows(false));
  const std::vector<std::string> analyse{"analyse", "a.csv", "--rate", "1000", "--bandwidth", "31.25"};
  const std::string full = "quorvel analyse: cannot write standard output: No space left on device\n";
  const struct {
    std::string format, out, message;
  } cases[] = {
      {"json", "> /dev/full", full},
      {"text", "> /dev/full", full},
      {"csv", ">&-", "quorvel analyse: cannot write standard output: Bad file descriptor\n"},
      {"--help", "> /dev/full", "quorvel: cannot write standard output\n"},
      {"--version", ">&-", "quorvel: cannot write standard output\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format + " " + c.out);
    std::vector<std::string> args{c.format};
    if (c.format[0] != '-') {
      args = analyse;
      args.insert(args.end(), {"--format", c.format});
    }
    ProgramRun r = run_program(dir.path(), args, c.out);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, c.message);
  }
}

}  // namespace
}  // namespace quorvel::testing

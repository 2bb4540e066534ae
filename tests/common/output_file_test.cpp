// The output rule: whatever stands at an output's name, nothing but the
// name itself is ever written, and a name that is no regular file or is an
// input is refused.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/output_file.hpp"
#include "common/units.hpp"
#include "support/test_support.hpp"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

struct Arrangement {
  const char* name;
  void (*arrange)(const TempDir&);  // puts something at "out" (or nothing)
  int status;                       // of the write
};

// What may stand at an output's name: "other" and "input" are files of
// their own that must keep their content.
const Arrangement kArrangements[] = {
    {"nothing", [](const TempDir&) {}, 0},
    {"an earlier output", [](const TempDir& d) { d.write("out", "earlier"); }, 0},
    {"a link outside", [](const TempDir& d) { fs::create_symlink("other", d.path() / "out"); }, 0},
    {"a dangling link", [](const TempDir& d) { fs::create_symlink("gone", d.path() / "out"); }, 0},
    {"a hard link", [](const TempDir& d) { fs::create_hard_link(d.path() / "other", d.path() / "out"); }, 0},
    {"a FIFO", [](const TempDir& d) { ASSERT_EQ(::mkfifo((d.path() / "out").c_str(), 0644), 0); }, kNotARegularFile},
    {"a link to a device", [](const TempDir& d) { fs::create_symlink("/dev/null", d.path() / "out"); }, kNotARegularFile},
    {"a folder", [](const TempDir& d) { fs::create_directory(d.path() / "out"); }, EISDIR},
    {"the input", [](const TempDir& d) { fs::rename(d.path() / "input", d.path() / "out"); }, kSameAsAnInput},
    {"a link to the input", [](const TempDir& d) { fs::create_symlink("input", d.path() / "out"); }, kSameAsAnInput},
    {"a hard link to the input", [](const TempDir& d) { fs::create_hard_link(d.path() / "input", d.path() / "out"); },
     kSameAsAnInput},
};

TEST(OutputFile, NothingButTheNameIsEverWritten) {
  for (const Arrangement& a : kArrangements) {
    SCOPED_TRACE(a.name);
    TempDir dir;
    dir.write("other", "other");
    dir.write("input", "input");
    protect_input_file((dir.path() / "input").string());
    a.arrange(dir);
    const std::string out = (dir.path() / "out").string();
    const bool is_input = fs::exists(dir.path() / "input") == false;
    EXPECT_EQ(write_output_file(out, "new"), a.status);
    unprotect_all_inputs();
    EXPECT_EQ(dir.read("other"), "other");
    if (!is_input) {
      EXPECT_EQ(dir.read("input"), "input");
    }
    if (a.status == 0) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out)));
      EXPECT_EQ(dir.read("out"), "new");
    } else if (a.status == kSameAsAnInput) {
      EXPECT_EQ(dir.read("out"), "input");
    }
    // No temporary file is left behind, written or refused.
    for (const auto& e : fs::directory_iterator(dir.path())) {
      EXPECT_EQ(e.path().filename().string().find("out."), std::string::npos) << e.path();
    }
  }
}

// Two writers of one name never share a temporary file.
TEST(OutputFile, TemporaryNamesAreUnique) {
  TempDir dir;
  const std::string path = (dir.path() / "same.json").string();
  OutputFile a, b;
  ASSERT_EQ(create_output(path, a), 0);
  ASSERT_EQ(create_output(path, b), 0);
  EXPECT_NE(a.temp, b.temp);
  std::fputs("a", a.file);
  std::fputs("b", b.file);
  EXPECT_EQ(commit_output(a), 0);
  discard_output(b);
  EXPECT_EQ(dir.read("same.json"), "a");
}

// The error file is put in place at its opening: an earlier file of the
// name that is a hard link to a control file, or a link to a data file,
// is replaced, and what is written is there before the unit is closed.
TEST(OutputFile, ReplaceIsInPlaceAtOnceAndNeverEmptiesAnotherName) {
  for (bool hard : {true, false}) {
    SCOPED_TRACE(hard);
    TempDir dir;
    dir.write("run.cnl", "control");
    const fs::path error_file = dir.path() / "errors.out";
    if (hard) {
      fs::create_hard_link(dir.path() / "run.cnl", error_file);
    } else {
      fs::create_symlink("run.cnl", error_file);
    }
    ASSERT_EQ(open_unit(kErrorUnit, error_file.string(), OpenStatus::Replace), 0);
    write_record(kErrorUnit, "message");
    EXPECT_EQ(dir.read("errors.out"), "message\n");
    EXPECT_EQ(dir.read("run.cnl"), "control");
    close_unit(kErrorUnit);
  }
}

}  // namespace
}  // namespace quorvel

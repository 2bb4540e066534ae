// The batch driver: every row of its failure table, run as the program in
// a temporary working directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(Batch, MissingListFile) {
  TempDir dir;
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(squeezed_lines(r.out), (Lines{"", "", "Runquorvel.cnl file does not exist"}));
  EXPECT_EQ(squeezed_lines(dir.read("Quorvel-error.out")), (Lines{"Runsquorvel.cnl file does not exist"}));
}

TEST(Batch, EmptyListFile) {
  TempDir dir;
  dir.write("Runquorvel.cnl", "");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  Lines expected{"End of file on runquorvel.cnl reads", "Place the symbol # after the two top reads -1"};
  EXPECT_EQ(squeezed_lines(r.out), expected);
  EXPECT_EQ(squeezed_lines(dir.read("Quorvel-error.out")), expected);
}

TEST(Batch, FirstLineWithoutCommentMarker) {
  TempDir dir;
  dir.write("Runquorvel.cnl", "Runs = 3\nx.cnl *\n");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  Lines expected{"Place comment marker * after each line in Rundralnit.cnl", "Runs = 3"};
  EXPECT_EQ(squeezed_lines(r.out), expected);
  EXPECT_EQ(squeezed_lines(dir.read("Quorvel-error.out")), expected);
}

TEST(Batch, CountZeroNegativeOrMissingEndsSilently) {
  for (const char* first : {"Runs = 0 *", "Runs = -2 *", "No count here *", "Runs = *"}) {
    TempDir dir;
    dir.write("Runquorvel.cnl", std::string(first) + "\n");
    ProgramRun r = dir.run();
    EXPECT_EQ(r.exit_status, 0) << first;
    EXPECT_EQ(r.out, "") << first;
    EXPECT_EQ(dir.read("Quorvel-error.out"), "") << first;
  }
}

TEST(Batch, CountBeyondTheNameLines) {
  TempDir dir;
  dir.write("Runquorvel.cnl", "Number of runs = 1 *\n");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(squeezed_lines(r.out), (Lines{"End of file on runquorvel.cnl reads"}));
  EXPECT_EQ(squeezed_lines(dir.read("Quorvel-error.out")), (Lines{"End of file on runquovrel.cnl reads"}));
}

TEST(Batch, MissingControlFile) {
  TempDir dir;
  dir.write("Runquorvel.cnl", "Runs =1 *\nabsent.cnl * the run\n");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  Lines expected{"", "", "cnl file does not exist absent.cnl"};
  EXPECT_EQ(squeezed_lines(r.out), expected);
  EXPECT_EQ(squeezed_lines(dir.read("Quorvel-error.out")), expected);
}

TEST(Batch, NameLineWithoutMarkerGivesAnEmptyName) {
  TempDir dir;
  dir.write("Runquorvel.cnl", "Runs = 1 *\nrun.cnl\n");
  dir.write("run.cnl", "#\n");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(squeezed_lines(r.out), (Lines{"", "", "cnl file does not exist"}));
}

TEST(Batch, ControlFileThatIsADirectory) {
  TempDir dir;
  dir.write("Runquorvel.cnl", "Runs = 1 *\nsub *\n");
  dir.write("sub/keep", "");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  Lines lines = squeezed_lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "**** Error on opening cnl file no. 1 21");
  EXPECT_EQ(lines[1], "sub");
  EXPECT_EQ(squeezed_lines(dir.read("Quorvel-error.out")), lines);
}

TEST(Batch, BinaryAndLongLinesEndWithAMessage) {
  TempDir dir;
  std::string binary("\x01\x02\xff\x00\x7f*", 6);
  dir.write("Runquorvel.cnl", binary + std::string(100000, 'x') + "\n" + binary + "\n");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 0);  // no "uns" key: the batch ends silently

  TempDir long_line;
  long_line.write("Runquorvel.cnl", "Runs = 1 " + std::string(100000, ' ') + "*\n");
  r = long_line.run();
  // The marker lies beyond column 80: the line has none.
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(squeezed_lines(r.out)[0], "Place comment marker * after each line in Rundralnit.cnl");
}

}  // namespace
}  // namespace quorvel::testing

// The unit table: records, fixed-length reads, refused opens.
#include <gtest/gtest.h>

#include <cerrno>

#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "support/test_support.hpp"

namespace quorvel {
namespace {

constexpr int kTestUnit = 43;

TEST(Units, RecordsDropTheCarriageReturnOfCrlfLines) {
  testing::TempDir dir;
  dir.write("crlf.txt", "first\r\nsecond line \r\n\r\nlast");
  ASSERT_EQ(open_unit(kTestUnit, (dir.path() / "crlf.txt").string() + "   ", OpenStatus::Old), 0);
  std::string record;
  for (const char* want : {"first", "second line ", "", "last"}) {
    EXPECT_EQ(read_record(kTestUnit, record), 0);
    EXPECT_EQ(record, want);
  }
  EXPECT_EQ(read_record(kTestUnit, record), kEndOfFile);
  rewind_unit(kTestUnit);
  EXPECT_EQ(read_record(kTestUnit, record), 0);
  EXPECT_EQ(record, "first");
  close_unit(kTestUnit);
}

TEST(Units, FixedLengthReadsCutAndPad) {
  testing::TempDir dir;
  dir.write("fixed.txt", "abcdefghij\nab\r\n");
  ASSERT_EQ(open_unit(kTestUnit, (dir.path() / "fixed.txt").string(), OpenStatus::Old), 0);
  std::string text;
  EXPECT_EQ(read_fixed(kTestUnit, 5, text), 0);
  EXPECT_EQ(text, "abcde");
  EXPECT_EQ(read_fixed(kTestUnit, 5, text), 0);
  EXPECT_EQ(text, "ab   ");
  EXPECT_EQ(read_fixed(kTestUnit, 5, text), kEndOfFile);
  EXPECT_EQ(text, "     ");
  close_unit(kTestUnit);
}

TEST(Units, OpenRefusesDirectoriesAndMissingFiles) {
  testing::TempDir dir;
  EXPECT_EQ(open_unit(kTestUnit, dir.path().string(), OpenStatus::Old), EISDIR);
  EXPECT_EQ(open_unit(kTestUnit, dir.path().string(), OpenStatus::Replace), EISDIR);
  EXPECT_FALSE(is_open(kTestUnit));
  EXPECT_EQ(open_unit(kTestUnit, (dir.path() / "missing.txt").string(), OpenStatus::Old), ENOENT);
  ASSERT_EQ(open_unit(kTestUnit, (dir.path() / "out.txt").string(), OpenStatus::Replace), 0);
  write_record(kTestUnit, "one");
  write_record(kTestUnit, "");
  close_unit(kTestUnit);
  EXPECT_EQ(dir.read("out.txt"), "one\n\n");
}

// A capture ends however its scope is left, a stop included, and gives the
// records back to the capture that was there before it.
TEST(Units, RecordCaptureEndsWithItsScope) {
  std::vector<CapturedRecord> outer, inner;
  {
    RecordCapture keep_outer(outer);
    writel(kReportUnit, "before");
    try {
      RecordCapture keep_inner(inner);
      writel(kConsoleUnit, "inside");
      stop();
    } catch (const Stop&) {
    }
    writel(kReportUnit, "after");
  }
  EXPECT_EQ(capture_records(nullptr), nullptr);  // nothing is left capturing
  ASSERT_EQ(outer.size(), 2u);
  EXPECT_EQ(outer[0].text, " before");
  EXPECT_EQ(outer[1].text, " after");
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_EQ(inner[0].unit, kConsoleUnit);
}

}  // namespace
}  // namespace quorvel

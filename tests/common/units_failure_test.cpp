// Failed writes of the unit table: a file on a device that is always full
// (/dev/full) takes buffered records and then fails at the flush. The
// failure is reported, the unit dropped without its unwritten rest, and a
// run's output that fails stops the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "support/test_support.hpp"

namespace quorvel {
namespace {

constexpr int kTestUnit = 44;

TEST(UnitFailures, FailedFlushOfAnOutputIsReportedAndStops) {
  testing::TempDir dir;
  ASSERT_EQ(open_unit(kErrorUnit, (dir.path() / "errors.out").string(), OpenStatus::Replace), 0);
  ASSERT_EQ(open_unit(kTestUnit, "/dev/full", OpenStatus::Replace), 0);
  write_record(kTestUnit, "buffered, not yet failed");
  EXPECT_THROW(flush_unit(kTestUnit), Stop);
  EXPECT_FALSE(is_open(kTestUnit));
  EXPECT_TRUE(output_failed());
  // Later records for the dropped unit go nowhere, and do not stop again.
  write_record(kTestUnit, "dropped");
  close_unit(kErrorUnit);
  EXPECT_EQ(testing::squeezed_lines(dir.read("errors.out")),
            std::vector<std::string>{"**** Error on writing /dev/full 28 No space left on device"});
}

TEST(UnitFailures, RecordsBeyondTheBufferFailAtTheWriteItself) {
  ASSERT_EQ(open_unit(kTestUnit, "/dev/full", OpenStatus::Replace), 0);
  const std::string line(200, 'x');
  EXPECT_THROW(
      for (int i = 0; i < 1000; ++i) writel(kTestUnit, line), Stop);
  EXPECT_FALSE(is_open(kTestUnit));
}

TEST(UnitFailures, FailureFoundAtReopeningStops) {
  ASSERT_EQ(open_unit(kTestUnit, "/dev/full", OpenStatus::Replace), 0);
  write_record(kTestUnit, "the end of the previous run, still buffered");
  testing::TempDir dir;
  EXPECT_THROW(open_unit(kTestUnit, (dir.path() / "next.out").string(), OpenStatus::Replace), Stop);
  EXPECT_FALSE(is_open(kTestUnit));
}

// The program's end must not throw: a failure there is reported and returned.
TEST(UnitFailures, CloseAllReportsWithoutStopping) {
  ASSERT_EQ(open_unit(kTestUnit, "/dev/full", OpenStatus::Replace), 0);
  write_record(kTestUnit, "left for the last flush");
  bool ok = true;
  EXPECT_NO_THROW(ok = close_all_units());
  EXPECT_FALSE(ok);
  EXPECT_FALSE(is_open(kTestUnit));
}

// The error file is written a line at a time; when it fails the batch goes
// on without it.
TEST(UnitFailures, FailingErrorFileIsDroppedWithoutStopping) {
  ASSERT_EQ(open_unit(kErrorUnit, "/dev/full", OpenStatus::Replace), 0);
  EXPECT_NO_THROW(writel(kErrorUnit, "a message"));
  EXPECT_FALSE(is_open(kErrorUnit));
}

// A file without line ends (a device, a binary export) is not read into
// memory without bound.
TEST(UnitFailures, EndlessRecordIsRefused) {
  ASSERT_EQ(open_unit(kTestUnit, "/dev/zero", OpenStatus::Old), 0);
  std::string record;
  EXPECT_EQ(read_record(kTestUnit, record), kRecordTooLong);
  EXPECT_EQ(record.size(), kMaxRecordLength);
  close_unit(kTestUnit);
}

}  // namespace
}  // namespace quorvel

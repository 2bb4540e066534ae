// Failed writes of the unit table: a file on a device that is always full
// (/dev/full, put under the descriptor of a unit opened on a regular file,
// since an output on a device is refused at open) takes buffered records
// and then fails at the flush. The
// failure is reported, the unit dropped without its unwritten rest, and a
// run's output that fails stops the program.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "support/test_support.hpp"

namespace quorvel {
namespace {

constexpr int kTestUnit = 44;

// Opens `unit` on the regular file `name` in `dir` and turns its descriptor
// to /dev/full.
void open_on_full_device(int unit, const testing::TempDir& dir, const std::string& name = "full.out") {
  const std::filesystem::path path = dir.path() / name;
  ASSERT_EQ(open_unit(unit, path.string(), OpenStatus::Replace), 0);
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (std::filesystem::read_symlink(fd.path(), ec) == path && !ec) {
      ASSERT_GE(::dup2(full, std::stoi(fd.path().filename().string())), 0);
    }
  }
  ::close(full);
}

TEST(UnitFailures, FailedFlushOfAnOutputIsReportedAndStops) {
  testing::TempDir dir;
  ASSERT_EQ(open_unit(kErrorUnit, (dir.path() / "errors.out").string(), OpenStatus::Replace), 0);
  open_on_full_device(kTestUnit, dir);
  write_record(kTestUnit, "buffered, not yet failed");
  EXPECT_THROW(flush_unit(kTestUnit), Stop);
  EXPECT_FALSE(is_open(kTestUnit));
  EXPECT_TRUE(output_failed());
  // Later records for the dropped unit go nowhere, and do not stop again.
  write_record(kTestUnit, "dropped");
  close_unit(kErrorUnit);
  EXPECT_EQ(testing::squeezed_lines(dir.read("errors.out")),
            std::vector<std::string>{"**** Error on writing " + (dir.path() / "full.out").string() +
                                     " 28 No space left on device"});
}

TEST(UnitFailures, RecordsBeyondTheBufferFailAtTheWriteItself) {
  testing::TempDir dir;
  open_on_full_device(kTestUnit, dir);
  const std::string line(200, 'x');
  EXPECT_THROW(
      for (int i = 0; i < 1000; ++i) writel(kTestUnit, line), Stop);
  EXPECT_FALSE(is_open(kTestUnit));
}

TEST(UnitFailures, FailureFoundAtReopeningStops) {
  testing::TempDir dir;
  open_on_full_device(kTestUnit, dir);
  write_record(kTestUnit, "the end of the previous run, still buffered");
  EXPECT_THROW(open_unit(kTestUnit, (dir.path() / "next.out").string(), OpenStatus::Replace), Stop);
  EXPECT_FALSE(is_open(kTestUnit));
}

// The program's end must not throw: a failure there is reported and returned.
TEST(UnitFailures, CloseAllReportsWithoutStopping) {
  testing::TempDir dir;
  open_on_full_device(kTestUnit, dir);
  write_record(kTestUnit, "left for the last flush");
  bool ok = true;
  EXPECT_NO_THROW(ok = close_all_units());
  EXPECT_FALSE(ok);
  EXPECT_FALSE(is_open(kTestUnit));
}

// The error file is written a line at a time; when it fails the batch goes
// on without it.
TEST(UnitFailures, FailingErrorFileIsDroppedWithoutStopping) {
  testing::TempDir dir;
  open_on_full_device(kErrorUnit, dir);
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

// Formats whose counts would make a statement's output or walk huge: the
// writer refuses them as unusable formats (its contract for program
// literals) instead of filling memory; the reader ends them as format errors.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "common/record_writer.hpp"
#include "common/row_reader.hpp"
#include "common/units.hpp"
#include "support/test_support.hpp"

namespace quorvel {
namespace {

TEST(FormatLimits, WriterRefusesOutputBeyondAMegabyte) {
  EXPECT_THROW(format_records("(9999999(9999999X,'a'))", {}), std::invalid_argument);
  EXPECT_THROW(format_records("(T9999999,'a')", {}), std::invalid_argument);
  EXPECT_THROW(format_records("(9999999(9999999/))", {}), std::invalid_argument);
  EXPECT_THROW(format_records("(9999999('abcdefghij'))", {}), std::invalid_argument);
  Items many(200000, Item(1.0));
  EXPECT_THROW(format_records("(E30.20)", many), std::invalid_argument);
  // Large but sane statements still write.
  EXPECT_EQ(format_records("(T1000,'a')", {}).front().size(), 1000u);
  EXPECT_EQ(format_records("(10000('ab'))", {}).front().size(), 20000u);
}

TEST(FormatLimits, ReaderEndsEndlessFormatsAsFormatErrors) {
  testing::TempDir dir;
  dir.write("rows.txt", "1.0\n2.0\n");
  ASSERT_EQ(open_unit(kDataUnit, (dir.path() / "rows.txt").string(), OpenStatus::Old), 0);
  double v = 0;
  InputItem item{&v, nullptr, 0};
  EXPECT_EQ(read_formatted(kDataUnit, "(9999999(9999999X))", {&item, 1}), kFormatError);
  rewind_unit(kDataUnit);
  EXPECT_EQ(read_formatted(kDataUnit, "(9999999(T9999999,TL9999999),F4.0)", {&item, 1}), kFormatError);
  close_unit(kDataUnit);
}

}  // namespace
}  // namespace quorvel

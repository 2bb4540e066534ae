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
  close_unit(kDataUnit);
}

// A repeated group that only positions costs one step however large its
// count, and reads what the group written out in full reads: the format
// reader's work follows the record and its items.
TEST(FormatLimits, PositionsOnlyGroupsReadAsWrittenOutInFull) {
  testing::TempDir dir;
  dir.write("rows.txt", "  1.5  2.5  3.5  4.5  5.5  6.5\n");
  struct Case {
    const char* repeated;
    const char* written_out;
  };
  const Case cases[] = {
      {"(3(2X),F3.1)", "(2X,2X,2X,F3.1)"},
      {"(F5.1,3(X,TL2,X),F5.1)", "(F5.1,X,TL2,X,X,TL2,X,X,TL2,X,F5.1)"},
      {"(4(TL3),F5.1)", "(TL3,TL3,TL3,TL3,F5.1)"},
      {"(F5.1,3(T4,X),F3.1)", "(F5.1,T4,X,T4,X,T4,X,F3.1)"},
      {"(F5.1,3(2(X),TL1),F4.1)", "(F5.1,X,X,TL1,X,X,TL1,X,X,TL1,F4.1)"},
      {"(3(1PBZ,X),F5.1)", "(1PBZ,X,1PBZ,X,1PBZ,X,F5.1)"},
  };
  auto read_all = [&](const char* format) {
    EXPECT_EQ(open_unit(kDataUnit, (dir.path() / "rows.txt").string(), OpenStatus::Old), 0);
    double a = -1, b = -1;
    const InputItem items[2] = {{&a, nullptr, 0}, {&b, nullptr, 0}};
    const int status = read_formatted(kDataUnit, format, items);
    close_unit(kDataUnit);
    return std::to_string(status) + " " + std::to_string(a) + " " + std::to_string(b);
  };
  for (const Case& c : cases) EXPECT_EQ(read_all(c.repeated), read_all(c.written_out)) << c.repeated;

  // Counts that the walk could not afford to take one by one.
  EXPECT_EQ(read_all("(9999999(T9999999,TL9999999),F5.1,F5.1)"), read_all("(F5.1,F5.1)"));
  std::string rows;
  for (int i = 0; i < 256; ++i) rows += "    1.250000\n";
  dir.write("many.txt", rows);
  ASSERT_EQ(open_unit(kDataUnit, (dir.path() / "many.txt").string(), OpenStatus::Old), 0);
  for (int i = 0; i < 256; ++i) {
    double v = 0;
    InputItem item{&v, nullptr, 0};
    ASSERT_EQ(read_formatted(kDataUnit, "(f12.6,4999999(x))", {&item, 1}), 0);
    ASSERT_EQ(v, 1.25);
  }
  close_unit(kDataUnit);
}

}  // namespace
}  // namespace quorvel

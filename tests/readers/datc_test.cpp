// The data reader on the layouts of the data rows.
#include "readers/datc.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/stop.hpp"
#include "common/units.hpp"
#include "support/test_support.hpp"

namespace quorvel {
namespace {

using testing::TempDir;

struct Read {
  std::vector<double> x;
  std::vector<std::string> dates;
};

Read read_rows(const std::string& body, const std::string& fmt, int ncols, int is, int ie, char mode) {
  TempDir dir;
  dir.write("d.dat", "title\nheader\n" + body);
  open_unit(kDataUnit, (dir.path() / "d.dat").string(), OpenStatus::Old);
  open_unit(kReportUnit, (dir.path() / "r.out").string(), OpenStatus::Replace);
  RunParameters rp;
  rp.fmt = fmt;
  rp.fmt.resize(50, ' ');
  rp.ncols = ncols;
  rp.is = is;
  rp.ie = ie;
  rp.N = ie - is + 1;
  // The table column by column, each read as the analysed one.
  Read r;
  for (rp.icol = 1; rp.icol <= ncols; ++rp.icol) {
    std::vector<double> column(static_cast<std::size_t>(rp.N), -99.0);
    r.dates.assign(mode == 'm' ? rp.N : 1, std::string(25, ' '));
    try {
      datc(column, r.dates, rp, mode);
    } catch (const Stop&) {
      r.x.clear();
      break;
    }
    r.x.insert(r.x.end(), column.begin(), column.end());
  }
  close_unit(kDataUnit);
  close_unit(kReportUnit);
  return r;
}

TEST(Datc, ReadsTheRowsFromStartToEnd) {
  Read r = read_rows("1 2\n3 4\n5 6\n7 8\n9 10\n", "(2f2.0)", 2, 3, 5, 'a');
  EXPECT_EQ(r.x, (std::vector<double>{5, 7, 9, 6, 8, 10}));
}

TEST(Datc, DateAndTimeTextFirstOrLast) {
  const std::string first = "2009-10-26 14:05:09     1.500     2.500\n2009-10-26 14:05:10     3.500     4.500\n";
  Read r = read_rows(first, "(a19,2f10.3)", 2, 1, 2, 'm');
  EXPECT_EQ(r.x, (std::vector<double>{1.5, 3.5, 2.5, 4.5}));
  EXPECT_EQ(r.dates[1], "2009-10-26 14:05:10      ");

  const std::string last = "     1.500     2.500Mon 26 Oct 2009 14h\n";
  r = read_rows(last, "(2f10.3,a19)", 2, 1, 1, 'm');
  EXPECT_EQ(r.x, (std::vector<double>{1.5, 2.5}));
  EXPECT_EQ(r.dates[0], "Mon 26 Oct 2009 14h      ");

  // The "a" two characters after the "(" is refused.
  EXPECT_TRUE(read_rows(first, "(1a19,2f10.3)", 2, 1, 2, 'm').x.empty());
}

TEST(Datc, FewerDescriptorsThanItemsSpanRecordsButSkippingAdvancesOne) {
  // Three columns read by one descriptor: a row takes three records, while a
  // row skipped before the start advances one record only.
  const std::string body = "1.0\n2.0\n3.0\n4.0\n5.0\n6.0\n7.0\n";
  Read r = read_rows(body, "(f5.1)", 3, 2, 3, 'a');
  EXPECT_EQ(r.x, (std::vector<double>{2, 5, 3, 6, 4, 7}));
  // Records run out: a stop.
  EXPECT_TRUE(read_rows(body, "(f5.1)", 3, 2, 4, 'a').x.empty());
}

TEST(Datc, ImpliedDecimalsBlanksAndExponents) {
  Read r = read_rows(" 1234 1.5E2 -2D-1\n", "(f5.2,f6.0,e6.0)", 3, 1, 1, 'a');
  EXPECT_EQ(r.x, (std::vector<double>{12.34, 150.0, -0.2}));
}

}  // namespace
}  // namespace quorvel

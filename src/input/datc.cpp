#include "input/datc.hpp"

#include <exception>

#include "common/memory_units.hpp"
#include "common/record_writer.hpp"
#include "common/row_reader.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"

namespace quorvel {
namespace {

[[noreturn]] void read_failed(int status, long t, const RunParameters& rp) {
  for (int unit : {kReportUnit, kConsoleUnit, kErrorUnit}) {
    if (status == kEndOfFile) {
      writel(unit, "**** eof in read from data file ");
      writel(unit, "t = ", static_cast<int>(t));
    } else {
      writel(unit, "** Error in read of data file ", status);
      writel(unit, "Check format", rp.fmt);
    }
  }
  stop();
}

}  // namespace

void datc(std::span<double> x, std::vector<std::string>& dates, const RunParameters& rp, char mode) {
  // Where the date-and-time text stands: first when the format begins with
  // its A descriptor, last when the A comes after the values.
  bool text_first = false;
  if (mode == 'm') {
    std::size_t paren = rp.fmt.find('(');
    std::size_t a = rp.fmt.find('a');
    long pp = paren == std::string::npos ? -1 : static_cast<long>(paren);
    long pa = static_cast<long>(a);
    if (pa == pp + 1) {
      text_first = true;
    } else if (pa <= pp + 2) {
      for (int unit : {kReportUnit, kConsoleUnit, kErrorUnit}) {
        writef(unit, "(7X,'/Data & time format is incorrect',/)");
        writef(unit, "(A50)", rp.fmt);
      }
      stop();
    }
  }

  // A run of the library hands its column over as it is.
  if (const MemoryFiles* m = memory_files(); m && m->column_given) {
    const std::size_t first = static_cast<std::size_t>(rp.is - 1);
    for (std::size_t t = 0; t < x.size() && first + t < m->column.size(); ++t) x[t] = m->column[first + t];
    return;
  }

  rewind_unit(kDataUnit);
  std::string skipped;
  read_record(kDataUnit, skipped);
  read_record(kDataUnit, skipped);

  const long n = rp.N;
  for (long row = 1; row < rp.is; ++row) {
    if (int status = read_formatted(kDataUnit, rp.fmt, {}); status != 0) {
      read_failed(status, row - rp.is + 1, rp);
    }
  }
  // Each row is read whole into a row of its own; only the analysed column
  // is kept, so the memory of a run follows the rows that exist, not the
  // size a header announces.
  std::vector<double> row;
  std::vector<InputItem> items;
  try {
    row.resize(static_cast<std::size_t>(rp.ncols));
    items.resize(static_cast<std::size_t>(rp.ncols) + (mode == 'm' ? 1 : 0));
  } catch (const std::exception&) {
    for (int unit : {kReportUnit, kConsoleUnit, kErrorUnit}) writel(unit, "Unable to allocate work space for arrays in top");
    stop();
  }
  for (long t = 1; t <= n; ++t) {
    std::size_t k = 0;
    if (mode == 'm' && text_first) items[k++] = InputItem{nullptr, &dates[t - 1], 25};
    for (double& value : row) items[k++] = InputItem{&value, nullptr, 0};
    if (mode == 'm' && !text_first) items[k++] = InputItem{nullptr, &dates[t - 1], 25};
    if (int status = read_formatted(kDataUnit, rp.fmt, items); status != 0) read_failed(status, t, rp);
    x[t - 1] = row[static_cast<std::size_t>(rp.icol - 1)];
  }
}

}  // namespace quorvel

#include "readers/datc.hpp"

#include <new>
#include <stdexcept>

#include "common/row_reader.hpp"
#include "common/send.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"

namespace quorvel {
namespace {

[[noreturn]] void read_failed(int status, long t, const RunParameters& rp) {
  if (status == kEndOfFile) {
    send(kAllOutputs, listed("**** eof in read from data file "), listed("t = ", static_cast<int>(t)));
  } else {
    send(kAllOutputs, listed("** Error in read of data file ", status), listed("Check format", rp.fmt));
  }
  stop();
}

[[noreturn]] void no_work_space() {
  send(kAllOutputs, listed("Unable to allocate work space for arrays in top"));
  stop_for_memory();
}

}  // namespace

void datc(std::vector<double>& x, std::vector<std::string>& dates, const RunParameters& rp, char mode) {
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
      send(kAllOutputs, formatted("(7X,'/Data & time format is incorrect',/)"), formatted("(A50)", rp.fmt));
      stop();
    }
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
  // is kept, and it grows as the rows arrive, so the memory of a run
  // follows the rows that exist, not the size a header announces.
  std::vector<double> row;
  std::vector<InputItem> items;
  x.clear();
  if (mode == 'm') dates.clear();
  try {
    row.resize(static_cast<std::size_t>(rp.ncols));
    items.resize(static_cast<std::size_t>(rp.ncols) + (mode == 'm' ? 1 : 0));
    for (long t = 1; t <= n; ++t) {
      std::size_t k = 0;
      if (mode == 'm') dates.emplace_back(25, ' ');
      if (mode == 'm' && text_first) items[k++] = InputItem{nullptr, &dates.back(), 25};
      for (double& value : row) items[k++] = InputItem{&value, nullptr, 0};
      if (mode == 'm' && !text_first) items[k++] = InputItem{nullptr, &dates.back(), 25};
      if (int status = read_formatted(kDataUnit, rp.fmt, items); status != 0) read_failed(status, t, rp);
      x.push_back(row[static_cast<std::size_t>(rp.icol - 1)]);
    }
  } catch (const std::bad_alloc&) {
    no_work_space();
  } catch (const std::length_error&) {
    no_work_space();
  }
}

}  // namespace quorvel

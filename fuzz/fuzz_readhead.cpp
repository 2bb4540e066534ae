// The data file as any tool may export it: the header reader `readhead`
// and then, when the header is usable and small, the body reader `datc`
// with the header's own format. Input: one byte for the control file's unit
// choice and the first row, then the data file's bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_parameters.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "fuzz_support.hpp"
#include "readers/datc.hpp"
#include "readers/readhead.hpp"

using namespace quorvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_work_dir("readhead");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  fuzz::write_file("x.dat", std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  open_unit(kErrorUnit, "Quorvel-error.out", OpenStatus::Replace);
  open_unit(kReportUnit, "x_Quorvel.out", OpenStatus::Replace);
  if (open_unit(kDataUnit, "x.dat", OpenStatus::Old) != 0) __builtin_trap();
  RunParameters rp;
  rp.iunit = static_cast<SamplingUnit>(data[0] % 3);
  try {
    const DataHeader header = readhead(rp.iunit);
    if (header.title.size() != 80 || header.fmt.size() != 50) __builtin_trap();
    rp.nrows = header.nrows;
    rp.ncols = header.ncols;
    rp.fmt = header.fmt;
    rp.is = 1 + (data[0] / 3) % 4;
    rp.ie = rp.nrows;
    if (rp.nrows >= rp.is && rp.nrows <= 2000 && rp.ncols >= 1 && rp.ncols <= 64) {
      rp.N = rp.ie - rp.is + 1;
      rp.icol = 1 + data[0] % rp.ncols;  // the run set-up guarantees 1 <= icol <= ncols
      bool dated = rp.fmt.find('a') != std::string::npos;
      std::vector<double> x(static_cast<std::size_t>(rp.N));
      std::vector<std::string> dates(dated ? rp.N : 1, std::string(25, ' '));
      datc(x, dates, rp, dated ? 'm' : 'a');
      for (const auto& d : dates) {
        if (d.size() != 25) __builtin_trap();
      }
    }
  } catch (const Stop&) {
  }
  close_all_units();
  return 0;
}

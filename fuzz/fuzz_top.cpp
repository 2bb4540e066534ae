// The control-file sequence of a run: arbitrary control file bytes against
// fixed valid data files, run by `top` with its units as the batch opens
// them. Every failure must end as an orderly stop (quorvel::Stop) or an
// abandoned run, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/stop.hpp"
#include "common/units.hpp"
#include "fuzz_support.hpp"
#include "readers/field_readers.hpp"
#include "input/top.hpp"

using namespace quorvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_work_dir("top");
  fuzz::write_file("d.dat", "Two columns at 10 kHz\nrows = 64 columns = 2 rate = 10.0 unit=kHz format =(2f10.4)\n" +
                                fuzz::data_body(64, 2));
  fuzz::write_file("h.dat", "One column at 1000 Hz\nrows = 64 columns = 1 rate = 1000.0 unit=Hz format =(f10.4)\n" +
                                fuzz::data_body(64, 1));
  fuzz::write_file("t.dat", "Daily\nrows = 64 columns = 1 interval = 1.0 format =(f10.4)\n" + fuzz::data_body(64, 1));
  fuzz::write_file("m.dat", "Dated\nrows = 64 columns = 1 rate = 10.0 unit=kHz format =(a10,f10.4)\n" +
                                [] {
                                  std::string body, values = fuzz::data_body(64, 1), line;
                                  for (char c : values) {
                                    if (c == '\n') {
                                      body += "2009-10-26" + line + "\n";
                                      line.clear();
                                    } else {
                                      line += c;
                                    }
                                  }
                                  return body;
                                }());
  return 0;
}

namespace {

// The parameter text as the run builds it, only to keep the harness fast:
// a run is linear in its resample count, so large counts are skipped.
bool too_slow(std::string_view control) {
  std::string text;
  std::size_t start = 0;
  for (int line = 0; line < 17 && start < control.size(); ++line) {
    std::size_t end = control.find('\n', start);
    std::string_view l = control.substr(start, end == std::string_view::npos ? end : end - start);
    l = l.substr(0, 80);
    if (l.find('#') != std::string_view::npos) break;
    text += std::string(l.substr(0, l.find('*')));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  IntField resamples = numread("sample", text, "= ", -1);
  return resamples.ierr == 0 && resamples.value > 40;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view control(reinterpret_cast<const char*>(data), size);
  // Paths would let a run write outside the working directory.
  if (control.find_first_of("/\\") != std::string_view::npos || too_slow(control)) return 0;
  fuzz::write_file("run.cnl", control);
  fuzz::run_control_file("run.cnl");
  return 0;
}

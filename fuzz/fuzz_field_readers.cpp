// The key-based field readers over arbitrary texts, keys and delimiters.
// Input: one byte choosing the delimiter pair, then key NUL text (without a
// NUL the key is taken from the program's own keys).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.hpp"
#include "common/units.hpp"
#include "readers/field_readers.hpp"

using namespace quorvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_work_dir("field-readers");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const char* const kDelims[] = {"= ", "()", "==", "  ", "=", ")("};
  static const char* const kKeys[] = {"ile name", "umber",  "unit",   "wer freq", "per freq", "gest period",
                                      "test period", "taper", "idth", "R",        "r",        "hreshold",
                                      "start",    "end",    "sample", "ntile",    "uns",      "ows",
                                      "olumns",   "rate",   "Rate",   "nterval",  "rmat",     ""};
  std::string_view delim_choice = kDelims[data[0] % 6];
  // A one-character delimiter pair is padded as the caller's 2-character text would be.
  std::string delim(delim_choice);
  delim.resize(2, ' ');
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string key, text;
  if (std::size_t nul = rest.find('\0'); nul != std::string_view::npos && nul <= 20) {
    key = std::string(rest.substr(0, nul));
    text = std::string(rest.substr(nul + 1));
  } else {
    key = kKeys[(size > 1 ? data[1] : 0) % (sizeof kKeys / sizeof *kKeys)];
    text = std::string(rest);
  }
  key.resize(20, ' ');

  TextField t = charead(key, text, delim);
  if (t.value.size() != 50) __builtin_trap();
  // The notes go to a unit that is not open: written, then dropped.
  IntField i = numread(key, text, delim, kReportUnit);
  RealField r = rnumread(key, text, delim, kReportUnit);
  if (t.ierr < 0 || t.ierr > 3 || i.ierr < 0 || i.ierr > 6 || r.ierr < 0 || r.ierr > 6) __builtin_trap();
  int value = 7;
  number(text, static_cast<int>(text.size() % 9), value);
  return 0;
}

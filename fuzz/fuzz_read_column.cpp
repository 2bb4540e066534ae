// The plain-file reader of the command line over arbitrary texts. Input:
// one byte choosing the delimiter, the header rule and the column, then
// the file's text.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "cli/read_column.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const char* const kDelimiters[] = {"auto", ",", ";", "tab", "space"};
  static const char* const kHeaders[] = {"auto", "yes", "no"};
  static const char* const kColumns[] = {"1", "2", "3", "x", "0", "1234567890", "", "value"};
  quorvel::cli::TableLayout layout;
  layout.delimiter = kDelimiters[data[0] % 5];
  layout.header = kHeaders[(data[0] / 5) % 3];
  const std::string column = kColumns[(data[0] / 15) % 8];
  std::istringstream in(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  try {
    quorvel::cli::read_column(in, "f.csv", column, layout);
  } catch (const quorvel::cli::InputError&) {
  }
  return 0;
}

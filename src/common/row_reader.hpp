#pragma once
// The format-driven row reader: one formatted read statement of a Fortran
// format over the records of a unit, by the standard's input rules.
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

// An item of an input list: a real (read by F, E, ES, EN, D, G or I) or a
// text of a fixed length (read by A).
struct InputItem {
  double* real = nullptr;
  std::string* text = nullptr;
  int text_length = 0;
};

// Reads one formatted input statement from `unit` into `items`: consumes
// one record, plus one for every "/" and for every format reversion met.
// With no items it advances one record (and one more for every "/" before
// the first data descriptor). Returns 0, kEndOfFile, or an error status
// (kReadValueError for a bad field, kFormatError for a format that cannot
// be parsed). The format is parsed once and kept.
int read_formatted(int unit, std::string_view format, std::span<const InputItem> items);

}  // namespace quorvel

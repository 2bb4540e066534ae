#pragma once
// The key-based field readers of the list file, the control file and the
// data header. Each finds its key in a text, takes the value after the
// first delimiter and reports an error code; none of them stops.
//   0 found, 1 key not in the text, 2 no first delimiter after the key,
//   3 empty or unterminated value, 4 too long (integer) or no point (real),
//   5 too many digits (real), 6 a character other than 0-9 among the
//   digits converted (checked after all the other codes).
#include <string>
#include <string_view>

namespace quorvel {

struct TextField {
  std::string value = std::string(50, ' ');  // the value and its delimiter, blank-padded
  int ierr = 0;
};

struct IntField {
  int value = 0;  // 0 after an error
  int ierr = 0;
};

struct RealField {
  float value = 0;  // 0 after an error
  int ierr = 0;
};

// key: the key fragment (trailing blanks are not part of it); delim: the
// two-character delimiter pair; note_unit: where the "The number " notes go.
TextField charead(std::string_view key, std::string_view text, std::string_view delim);
IntField numread(std::string_view key, std::string_view text, std::string_view delim, int note_unit);
RealField rnumread(std::string_view key, std::string_view text, std::string_view delim, int note_unit);

// The digit conversion of the numeric readers, for nd = 1 ... 7; the
// characters are not checked to be digits (the readers check them first).
// Other nd leave `value` as it is.
void number(std::string_view chars, int nd, int& value);

}  // namespace quorvel

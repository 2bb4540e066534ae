#pragma once
// One column of a plain data file: comma-separated or whitespace-separated
// text, with or without a header row.
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::cli {

// A file that cannot be analysed; what() names the file, and for a bad
// cell its line and column.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `column` is a 1-based number or a name in the header row (the first
// non-blank line). With a number, that line is a header when its cell in
// the column is text. Blank
// lines at the end are passed over; an empty cell, text where a number is
// expected or a value that is not finite throws InputError.
std::vector<double> read_column(std::istream& in, const std::string& file, const std::string& column);

}  // namespace quorvel::cli

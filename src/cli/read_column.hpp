#pragma once
// One column of a plain data file: text with cells separated by commas,
// semicolons, tabs or blanks, with or without a header row.
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

// How the cells of a file are told apart and where its data start.
struct TableLayout {
  // "auto", ",", ";", "tab" or "space" (blanks and tabs). Auto takes ";"
  // when every line holds one, else a tab when every line holds one and not
  // every line a comma, else "," when a line holds one, else blanks. With
  // ";" or a tab a number may have a decimal comma (2,5 is 2.5).
  std::string delimiter = "auto";
  // "yes": the first line names the columns; "no": it is data; "auto": it
  // names them when its cell in the column is not a number (a named column
  // needs the header).
  std::string header = "auto";
};

// `column` is a 1-based number or a name in the header row (the first
// non-blank line); with header "yes" a name of the row comes first. Blank
// lines at the end are passed over. A value is never changed: an empty
// cell, text where a number is expected, a value that is not finite or a
// line with more cells than the first line throws InputError.
std::vector<double> read_column(std::istream& in, const std::string& file, const std::string& column,
                                const TableLayout& layout = {});

}  // namespace quorvel::cli

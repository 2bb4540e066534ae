#include "cli/read_column.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace quorvel::cli {
namespace {

constexpr char kQuote = '\x22';

std::string trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

constexpr char kBlanks = ' ';  // the delimiter of cells separated by blanks and tabs

// The cells of a line: split at blanks and tabs, or at the delimiter (a
// double-quoted cell may hold the delimiter and "" for a quote).
std::vector<std::string> cells_of(const std::string& line, char delimiter) {
  std::vector<std::string> cells;
  if (delimiter == kBlanks) {
    std::size_t at = 0;
    while ((at = line.find_first_not_of(" \t", at)) != std::string::npos) {
      const std::size_t end = line.find_first_of(" \t", at);
      cells.push_back(line.substr(at, end - at));
      at = end;
    }
    return cells;
  }
  std::string cell;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != kQuote) {
        cell += c;
      } else if (i + 1 < line.size() && line[i + 1] == kQuote) {
        cell += kQuote;
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == kQuote) {
      quoted = true;
    } else if (c == delimiter) {
      cells.push_back(trimmed(cell));
      cell.clear();
    } else {
      cell += c;
    }
  }
  cells.push_back(trimmed(cell));
  return cells;
}

// The delimiter the layout asks for, or the one the lines leave no doubt
// about: ";" on every line (a comma is then a decimal comma), a tab on every
// line where not every line has a comma, a comma anywhere; else blanks.
char delimiter_of(const std::string& option, const std::vector<std::string>& lines, std::size_t first) {
  if (option == ",") return ',';
  if (option == ";") return ';';
  if (option == "tab") return '\t';
  if (option == "space") return kBlanks;
  auto on_lines = [&](char c, bool every) {
    bool all = true, some = false;
    for (std::size_t i = first; i < lines.size(); ++i) {
      if (trimmed(lines[i]).empty()) continue;
      const bool has = lines[i].find(c) != std::string::npos;
      all = all && has;
      some = some || has;
    }
    return every ? all : some;
  };
  if (on_lines(';', true)) return ';';
  if (on_lines('\t', true) && !on_lines(',', true)) return '\t';
  if (on_lines(',', false)) return ',';
  return kBlanks;
}

// A hint for a line that looks split at the wrong delimiter.
std::string hint_for(const std::string& line, char delimiter) {
  if (delimiter != ';' && line.find(';') != std::string::npos) return " (try --delimiter ';')";
  if (delimiter == ',' && line.find('\t') != std::string::npos) return " (try --delimiter tab)";
  return {};
}

// The whole cell as a number, or false. With a decimal comma, a cell with
// one comma and no point reads as if the comma were the point.
bool parse_number(const std::string& text, double& value, bool decimal_comma = false) {
  if (text.empty()) return false;
  std::string cell = text;
  if (decimal_comma && cell.find('.') == std::string::npos && std::count(cell.begin(), cell.end(), ',') == 1) {
    cell[cell.find(',')] = '.';
  }
  const char* begin = cell.c_str();
  char* end = nullptr;
  errno = 0;
  value = std::strtod(begin, &end);
  // Beyond the range of a double (1e999) is not a finite value either.
  if (errno == ERANGE && std::isinf(value)) value = HUGE_VAL;
  return end == begin + cell.size();
}

bool has_byte_order_mark(const std::string& line) {
  return line.size() >= 3 && static_cast<unsigned char>(line[0]) == 0xEF &&
         static_cast<unsigned char>(line[1]) == 0xBB && static_cast<unsigned char>(line[2]) == 0xBF;
}

bool is_number(const std::string& cell, bool decimal_comma) {
  double unused;
  return parse_number(cell, unused, decimal_comma);
}

std::string where(const std::string& file, std::size_t line, int column, const std::string& name) {
  std::string text = file + ", line " + std::to_string(line) + ", column " + std::to_string(column);
  return name.empty() ? text : text + " (" + name + ")";
}

}  // namespace

std::vector<double> read_column(std::istream& in, const std::string& file, const std::string& column,
                                const TableLayout& layout) {
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lines.empty() && has_byte_order_mark(line)) line.erase(0, 3);  // as a spreadsheet may write
    lines.push_back(std::move(line));
  }
  if (in.bad()) throw InputError(file + ": cannot be read");
  while (!lines.empty() && trimmed(lines.back()).empty()) lines.pop_back();
  std::size_t first = 0;
  while (first < lines.size() && trimmed(lines[first]).empty()) ++first;
  if (first == lines.size()) throw InputError(file + ": no data");

  const char delimiter = delimiter_of(layout.delimiter, lines, first);
  const bool decimal_comma = delimiter == ';' || delimiter == '\t';
  const std::vector<std::string> head = cells_of(lines[first], delimiter);
  // A column named needs the header row; a numbered one, unless the layout
  // says, has a header when the first line holds no number in that column
  // (a date column beside a number column must not turn the first data
  // line into a header).
  int index = 0;  // 1-based
  std::string name;
  const bool numbered = !column.empty() && std::all_of(column.begin(), column.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  const auto named = std::find(head.begin(), head.end(), column);
  bool header = layout.header == "yes";
  if (header && named != head.end()) {
    index = static_cast<int>(named - head.begin()) + 1;
    name = column;
  } else if (numbered) {
    index = column.size() > 9 ? 0 : std::stoi(column);
    if (index < 1) throw InputError(file + ": column " + column + " does not exist (columns count from 1)");
    const bool in_head = static_cast<std::size_t>(index) <= head.size();
    if (layout.header == "auto") {
      header = in_head && !head[index - 1].empty() && !is_number(head[index - 1], decimal_comma);
    }
    if (header && in_head) name = head[index - 1];
  } else if (layout.header == "no") {
    throw InputError(file + ": --column " + column + " is a name, but the file has no header row (--header no)");
  } else if (named == head.end()) {
    std::string names;
    for (const std::string& h : head) names += (names.empty() ? "" : ", ") + h;
    throw InputError(file + ": no column '" + column + "' in the header row (" + names + ")");
  } else {
    index = static_cast<int>(named - head.begin()) + 1;
    name = column;
    header = true;
  }

  std::vector<double> values;
  values.reserve(lines.size());
  for (std::size_t i = header ? first + 1 : first; i < lines.size(); ++i) {
    const std::vector<std::string> cells = cells_of(lines[i], delimiter);
    const std::size_t line = i + 1;
    // A wider line would shift its cells: read as they stand, a decimal
    // comma would cut 2,5 to 2.
    if (cells.size() > head.size()) {
      throw InputError(file + ", line " + std::to_string(line) + ": " + std::to_string(cells.size()) +
                       " columns, more than the " + std::to_string(head.size()) + " of line " +
                       std::to_string(first + 1) +
                       (delimiter == ',' ? " (decimal commas? try --delimiter ';')" : hint_for(lines[i], delimiter)));
    }
    if (static_cast<std::size_t>(index) > cells.size()) {
      if (cells.empty() || (delimiter != kBlanks && cells.size() == 1 && cells[0].empty())) {
        throw InputError(where(file, line, index, name) + ": empty cell");
      }
      throw InputError(where(file, line, index, name) + ": the line has only " + std::to_string(cells.size()) +
                       (cells.size() == 1 ? " column" : " columns") + hint_for(lines[i], delimiter));
    }
    const std::string& cell = cells[index - 1];
    double v = 0;
    if (cell.empty()) throw InputError(where(file, line, index, name) + ": empty cell");
    if (!parse_number(cell, v, decimal_comma)) {
      throw InputError(where(file, line, index, name) + ": '" + cell + "' is not a number" + hint_for(lines[i], delimiter));
    }
    if (!std::isfinite(v)) throw InputError(where(file, line, index, name) + ": '" + cell + "' is not a finite number");
    values.push_back(v);
  }
  if (values.empty()) throw InputError(file + ": no data rows below the header");
  return values;
}

}  // namespace quorvel::cli

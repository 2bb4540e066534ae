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

// The cells of a line: split at commas (a double-quoted cell may hold
// commas and "" for a quote) or, without commas in the file, at blanks.
std::vector<std::string> cells_of(const std::string& line, bool comma) {
  std::vector<std::string> cells;
  if (!comma) {
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
    } else if (c == ',') {
      cells.push_back(trimmed(cell));
      cell.clear();
    } else {
      cell += c;
    }
  }
  cells.push_back(trimmed(cell));
  return cells;
}

// The whole cell as a number, or false.
bool parse_number(const std::string& cell, double& value) {
  if (cell.empty()) return false;
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

bool is_number(const std::string& cell) {
  double unused;
  return parse_number(cell, unused);
}

std::string where(const std::string& file, std::size_t line, int column, const std::string& name) {
  std::string text = file + ", line " + std::to_string(line) + ", column " + std::to_string(column);
  return name.empty() ? text : text + " (" + name + ")";
}

}  // namespace

std::vector<double> read_column(std::istream& in, const std::string& file, const std::string& column) {
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

  const bool comma = std::any_of(lines.begin() + first, lines.end(),
                                 [](const std::string& l) { return l.find(',') != std::string::npos; });
  const std::vector<std::string> head = cells_of(lines[first], comma);
  // A column named needs the header row; a numbered one has a header when
  // the first line holds no number in that column (a date column beside a
  // number column must not turn the first data line into a header).
  int index = 0;  // 1-based
  std::string name;
  bool header = true;
  const bool numbered = !column.empty() && std::all_of(column.begin(), column.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  if (numbered) {
    index = column.size() > 9 ? 0 : std::stoi(column);
    if (index < 1) throw InputError(file + ": column " + column + " does not exist (columns count from 1)");
    const bool in_head = static_cast<std::size_t>(index) <= head.size();
    header = in_head && !head[index - 1].empty() && !is_number(head[index - 1]);
    if (header) name = head[index - 1];
  } else {
    auto it = std::find(head.begin(), head.end(), column);
    if (it == head.end()) {
      std::string names;
      for (const std::string& h : head) names += (names.empty() ? "" : ", ") + h;
      throw InputError(file + ": no column '" + column + "' in the header row (" + names + ")");
    }
    index = static_cast<int>(it - head.begin()) + 1;
    name = column;
  }

  std::vector<double> values;
  values.reserve(lines.size());
  for (std::size_t i = header ? first + 1 : first; i < lines.size(); ++i) {
    const std::vector<std::string> cells = cells_of(lines[i], comma);
    const std::size_t line = i + 1;
    if (static_cast<std::size_t>(index) > cells.size()) {
      if (cells.empty() || (comma && cells.size() == 1 && cells[0].empty())) {
        throw InputError(where(file, line, index, name) + ": empty cell");
      }
      throw InputError(where(file, line, index, name) + ": the line has only " + std::to_string(cells.size()) +
                       (cells.size() == 1 ? " column" : " columns"));
    }
    const std::string& cell = cells[index - 1];
    double v = 0;
    if (cell.empty()) throw InputError(where(file, line, index, name) + ": empty cell");
    if (!parse_number(cell, v)) throw InputError(where(file, line, index, name) + ": '" + cell + "' is not a number");
    if (!std::isfinite(v)) throw InputError(where(file, line, index, name) + ": '" + cell + "' is not a finite number");
    values.push_back(v);
  }
  if (values.empty()) throw InputError(file + ": no data rows below the header");
  return values;
}

}  // namespace quorvel::cli

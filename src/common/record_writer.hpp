#pragma once
// The record writer: fixed-format records by a Fortran edit-descriptor
// format, and list-directed records. Call sites read like the formats:
//   writef(kReportUnit, "(/,7X,'Column Number Used = ',I3)", icol);
//   writel(kConsoleUnit, "Frame length = ", M, " < 10");
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvel {

// One item of a record. A float is written from its 32-bit value, a double
// from its 64-bit value.
using Item = std::variant<int, float, double, std::string>;
using Items = std::vector<Item>;

// The records (lines, without newline) that a formatted write of `items`
// by `format` produces. The format is parsed once and kept.
std::vector<std::string> format_records(std::string_view format, const Items& items);
void write_formatted(int unit, std::string_view format, const Items& items);

// A list-directed record: one leading blank, then the items in order;
// numbers in their shortest exact form with one blank between a number and
// its neighbours (none added where the text already has one).
std::string list_record(const Items& items);
void write_list(int unit, const Items& items);

template <class... A>
void writef(int unit, std::string_view format, const A&... items) {
  write_formatted(unit, format, Items{Item(items)...});
}

template <class... A>
void writel(int unit, const A&... items) {
  write_list(unit, Items{Item(items)...});
}

}  // namespace quorvel

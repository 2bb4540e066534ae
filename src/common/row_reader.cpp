#include "common/row_reader.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <string>

#include "common/format_parser.hpp"
#include "common/units.hpp"

namespace quorvel {
namespace {

bool equals_nocase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Converts one numeric input field by the standard's rules: blanks ignored
// (or zeros under BZ), an empty field is 0, a point in the field overrides
// the d implied decimals, an exponent E/D/Q or a bare sign, and the scale
// factor k for a field without exponent. `whole` admits only an integer
// (the I descriptor). Correctly rounded.
int convert_field(std::string_view raw, int implied, int scale, bool blank_zero, bool whole, double& out) {
  std::string field;
  std::size_t start = raw.find_first_not_of(' ');
  if (start != std::string_view::npos) {
    for (char c : raw.substr(start)) {
      if (c == ' ') {
        if (blank_zero) field.push_back('_');  // a zero, but not as an exponent's first digit
      } else {
        field.push_back(c);
      }
    }
  }
  std::size_t i = 0;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  std::string_view rest = std::string_view(field).substr(i);
  if (!whole && (equals_nocase(rest, "inf") || equals_nocase(rest, "infinity"))) {
    out = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return 0;
  }
  if (!whole && equals_nocase(rest, "nan")) {
    out = std::numeric_limits<double>::quiet_NaN();
    return 0;
  }
  std::string digits;
  bool any_digit = false, point = false;
  long long fraction_digits = 0;
  for (; i < field.size(); ++i) {
    char c = field[i] == '_' ? '0' : field[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      any_digit = true;
      if (!digits.empty() || c != '0') digits.push_back(c);
      if (point) ++fraction_digits;
    } else if (c == '.' && !point && !whole) {
      point = true;
    } else {
      break;
    }
  }
  bool has_exponent = false;
  long long exponent = 0;
  if (i < field.size()) {
    if (whole) return kReadValueError;
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(field[i])));
    if (c == 'E' || c == 'D' || c == 'Q') ++i;
    else if (c != '+' && c != '-') return kReadValueError;
    bool exp_negative = false, exp_sign = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
      exp_negative = field[i++] == '-';
      exp_sign = true;
    }
    if (i >= field.size() || (field[i] == '_' && !exp_sign)) return kReadValueError;
    for (; i < field.size(); ++i) {
      char c = field[i] == '_' ? '0' : field[i];
      if (!std::isdigit(static_cast<unsigned char>(c))) return kReadValueError;
      exponent = exponent * 10 + (c - '0');
      if (exponent >= 10000) return kReadValueError;  // the runtime's limit on exponent digits
    }
    if (exp_negative) exponent = -exponent;
    has_exponent = true;
  }
  if (digits.empty()) {
    // A zero keeps its sign ("-.", "-0.0", "-e2"), except a lone sign, which reads as +0.
    bool lone_sign = field.size() == 1 && !any_digit;
    out = negative && !lone_sign ? -0.0 : 0.0;
    return 0;
  }
  long long power = exponent - (point ? fraction_digits : implied) - (has_exponent ? 0 : scale);
  std::string text;
  text.reserve(digits.size() + 24);
  if (negative) text.push_back('-');
  text += digits;
  text += 'e';
  text += std::to_string(power);
  errno = 0;
  out = std::strtod(text.c_str(), nullptr);  // overflow gives an infinity, as the runtime reads it
  return 0;
}

struct FieldSink {
  int unit;
  std::span<const InputItem> items;
  std::size_t next = 0;
  std::string record;
  std::size_t pos = 0;
  int scale = 0;
  bool blank_zero = false;
  int status = 0;

  bool has_item() const { return next < items.size(); }

  bool next_record() {
    status = read_record(unit, record);
    pos = 0;
    return status == 0;
  }

  void format_error() { status = kFormatError; }

  // The characters [pos, pos + w) that exist in the record (a short record
  // is padded with blanks, which are simply not there).
  std::string_view present(std::size_t w) const {
    if (pos >= record.size()) return {};
    return std::string_view(record).substr(pos, std::min(w, record.size() - pos));
  }

  bool data(const EditNode& node) {
    const InputItem& item = items[next++];
    if (node.kind == EditKind::Text) {
      if (!item.text) return fail(kFormatError);
      std::size_t length = static_cast<std::size_t>(std::max(item.text_length, 0));
      std::size_t w = node.width < 0 ? length : static_cast<std::size_t>(node.width);
      if (w == 0 && node.width == 0) return fail(kFormatError);
      std::string field(present(w));
      field.resize(w, ' ');
      pos += w;
      if (w >= length) {
        item.text->assign(field, w - length, length);
      } else {
        *item.text = field;
        item.text->resize(length, ' ');
      }
      return true;
    }
    if (!item.real || node.width <= 0) return fail(kFormatError);
    std::size_t w = static_cast<std::size_t>(node.width);
    std::string_view field = present(w);
    // A comma ends a numeric field early; the next field starts after it.
    if (std::size_t comma = field.find(','); comma != std::string_view::npos) {
      field = field.substr(0, comma);
      pos += comma + 1;
    } else {
      pos += w;
    }
    bool whole = node.kind == EditKind::Integer;
    int implied = whole ? 0 : std::max(node.digits, 0);
    int s = convert_field(field, implied, whole ? 0 : scale, blank_zero, whole, *item.real);
    return s == 0 || fail(s);
  }

  bool control(const EditNode& node) {
    switch (node.kind) {
      case EditKind::Skip:
        pos += static_cast<std::size_t>(node.count);
        return true;
      case EditKind::SkipLeft:
        pos = pos > static_cast<std::size_t>(node.count) ? pos - node.count : 0;
        return true;
      case EditKind::Tab:
        pos = static_cast<std::size_t>(node.count - 1);
        return true;
      case EditKind::Scale:
        scale = node.count;
        return true;
      case EditKind::BlankNull:
        blank_zero = false;
        return true;
      case EditKind::BlankZero:
        blank_zero = true;
        return true;
      case EditKind::Literal:
        return fail(kFormatError);  // the runtime refuses a literal in an input format
      default:
        return true;  // SP, SS, S: output only
    }
  }

  // The position after steps that only move it: max(pos + shift, floor).
  void place(long long shift, long long floor) {
    const long long moved = std::max(static_cast<long long>(pos) + shift, floor);
    pos = static_cast<std::size_t>(std::max(moved, 0LL));
  }

  bool fail(int s) {
    status = s;
    return false;
  }
};

}  // namespace

int read_formatted(int unit, std::string_view format, std::span<const InputItem> items) {
  auto parsed = cached_format(format);
  if (!parsed) return kFormatError;
  if (!items.empty() && !parsed->has_data) return kFormatError;
  FieldSink sink;
  sink.unit = unit;
  sink.items = items;
  if (!sink.next_record()) return sink.status;
  long long budget = 10'000'000 + 64 * static_cast<long long>(items.size());
  walk_format(*parsed, sink, budget);
  return sink.status;
}

}  // namespace quorvel

#include "common/record_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "common/format_parser.hpp"
#include "common/units.hpp"

namespace quorvel {
namespace {

std::string stars(int width) { return std::string(std::max(width, 1), '*'); }

// Digits of |value| rounded once, to nearest with ties to even, from its
// exact binary value (the C library's conversion is exact).
std::string printf_digits(const char* spec, int precision, double magnitude) {
  int n = std::snprintf(nullptr, 0, spec, precision, magnitude);
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), spec, precision, magnitude);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// `significant` digits of |value| (>= 1) and the decimal exponent of the
// form 0.d1d2... x 10^exponent; zero gives zeros and exponent 0.
struct Significand {
  std::string digits;
  int exponent = 0;
};
Significand significand(double magnitude, int significant) {
  Significand s;
  if (magnitude == 0.0) {
    s.digits.assign(static_cast<std::size_t>(significant), '0');
    return s;
  }
  std::string text = printf_digits("%.*e", significant - 1, magnitude);
  std::size_t e = text.find('e');
  for (std::size_t i = 0; i < e; ++i) {
    if (text[i] != '.') s.digits.push_back(text[i]);
  }
  s.exponent = std::atoi(text.c_str() + e + 1) + 1;
  return s;
}

// Infinity and NaN as the Fortran runtime writes them in a field of width w.
std::string edit_inf_nan(double value, int w, bool plus) {
  bool nan = std::isnan(value);
  bool negative = std::signbit(value);
  bool signed_out = !nan && (negative || plus);
  int n = w;
  if (n == 0) n = nan ? 3 : (signed_out ? 4 : 3);
  if (n < 3) return stars(n);
  std::string out(static_cast<std::size_t>(n), ' ');
  if (nan) {
    out.replace(out.size() - 3, 3, "NaN");
    return out;
  }
  if (negative && n == 3) return stars(n);
  int mark = signed_out ? 8 : 7;
  if (n > mark) {
    out.replace(out.size() - 8, 8, "Infinity");
  } else {
    out.replace(out.size() - 3, 3, "Inf");
  }
  if (signed_out) {
    char sign = negative ? '-' : '+';
    if (n < 9 && n > 3) {
      out[out.size() - 4] = sign;
    } else if (n > 8) {
      out[out.size() - 9] = sign;
    }
  }
  return out;
}

std::string edit_integer(long long value, int w, int m, bool plus) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (m == 0 && value == 0) digits.clear();
  if (m > 0 && static_cast<int>(digits.size()) < m) digits.insert(0, m - digits.size(), '0');
  std::string out = (value < 0 ? "-" : plus ? "+" : "") + digits;
  if (w == 0) return out.empty() ? std::string(1, ' ') : out;
  if (static_cast<int>(out.size()) > w) return stars(w);
  return std::string(w - out.size(), ' ') + out;
}

// Assembles [blanks][sign][0]before.after[exponent] in width w, with the
// leading zero only where there is room, as the Fortran runtime does.
std::string assemble(char sign, const std::string& before, const std::string& after,
                     const std::string& exponent, int w) {
  int body = static_cast<int>(before.size() + 1 + after.size() + exponent.size());
  int blanks = w - body - (sign ? 1 : 0);
  bool lead_zero = before.empty() && blanks > 0;
  if (lead_zero) --blanks;
  if (blanks < 0 || w == 1 || (w == 2 && sign)) return stars(w);
  std::string out(static_cast<std::size_t>(blanks), ' ');
  if (sign) out.push_back(sign);
  if (lead_zero) out.push_back('0');
  out += before;
  out.push_back('.');
  out += after;
  out += exponent;
  return out;
}

char sign_of(double value, bool plus) { return std::signbit(value) ? '-' : plus ? '+' : '\0'; }

// Fw.d with scale factor k (the value is written times 10^k).
std::string edit_fixed(double value, int w, int d, int k, bool plus) {
  if (!std::isfinite(value)) return edit_inf_nan(value, w, plus);
  double magnitude = std::fabs(value);
  int places = d + k;
  std::string digits;  // round(|value| * 10^(d+k)): the value times 10^k, with d implied decimals
  if (places >= 0) {
    digits = printf_digits("%.*f", places, magnitude);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
  } else {
    digits = printf_digits("%.*f", 0, magnitude * std::pow(10.0, places)) + std::string(-places, '0');
  }
  std::size_t first = digits.find_first_not_of('0');
  bool zero = first == std::string::npos;
  if (static_cast<int>(digits.size()) < d) digits.insert(0, d - digits.size(), '0');
  std::string before = digits.substr(0, digits.size() - d);
  std::string after = digits.substr(digits.size() - d);
  before.erase(0, std::min(before.find_first_not_of('0'), before.size()));
  char sign = sign_of(value, plus);
  if (w == 0) {
    if (zero) {
      w = d + (sign ? 2 : 1) + (d == 0 ? 1 : 0);
    } else {
      w = static_cast<int>(before.size()) + d + (sign ? 2 : 1);
      if (w == 1) w = 2;
    }
  }
  return assemble(sign, before, after, "", w);
}

// The exponent part: E+dd, +ddd beyond two digits, or E+ with e digits.
std::string exponent_text(int exponent, int e, char letter) {
  int magnitude = std::abs(exponent);
  std::string digits = std::to_string(magnitude);
  char sign = exponent < 0 ? '-' : '+';
  if (e < 0) {
    if (magnitude > 999) return {};
    if (magnitude > 99) return std::string(1, sign) + digits;
    if (digits.size() < 2) digits.insert(0, 1, '0');
    return std::string(1, letter) + sign + digits;
  }
  if (static_cast<int>(digits.size()) > e) return {};
  digits.insert(0, e - digits.size(), '0');
  return std::string(1, letter) + sign + digits;
}

// Ew.d[Ee] and Dw.d with scale factor k.
std::string edit_exponent(double value, int w, int d, int e, int k, char letter, bool plus) {
  if (!std::isfinite(value)) return edit_inf_nan(value, w, plus);
  if (k <= -d || k >= d + 2) return stars(w);
  double magnitude = std::fabs(value);
  int significant = k > 0 ? d + 1 : d + k;
  Significand s = significand(magnitude, significant);
  int exponent = magnitude == 0.0 ? 0 : s.exponent - k;
  std::string before, after;
  if (k > 0) {
    before = s.digits.substr(0, k);
    after = s.digits.substr(k);
  } else {
    after = std::string(-k, '0') + s.digits;
  }
  std::string exp = exponent_text(exponent, e, letter);
  if (exp.empty()) return stars(w);
  return assemble(sign_of(value, plus), before, after, exp, w);
}

// ESw.d[Ee]: one nonzero digit before the point.
std::string edit_scientific(double value, int w, int d, int e, bool plus) {
  if (!std::isfinite(value)) return edit_inf_nan(value, w, plus);
  double magnitude = std::fabs(value);
  Significand s = significand(magnitude, d + 1);
  int exponent = magnitude == 0.0 ? 0 : s.exponent - 1;
  std::string exp = exponent_text(exponent, e, 'E');
  if (exp.empty()) return stars(w);
  return assemble(sign_of(value, plus), s.digits.substr(0, 1), s.digits.substr(1), exp, w);
}

// ENw.d[Ee]: the exponent a multiple of three, 1 to 3 digits before the
// point. The digits are counted from the exact value's decade; when the
// rounding carries into the next decade the layout follows the rounded value
// (99.96 -> 100.0E+00, 999.96 -> 1.0E+03), as the Fortran runtime does;
// the decade is that of the value rounded to 17 digits (8 for a float item).
std::string edit_engineering(double value, int w, int d, int e, bool single, bool plus) {
  if (!std::isfinite(value)) return edit_inf_nan(value, w, plus);
  double magnitude = std::fabs(value);
  auto group = [](int power) { return ((power % 3) + 3) % 3; };
  int before_count = 1, exponent = 0;
  Significand s;
  if (magnitude == 0.0) {
    s = significand(0.0, d + 1);
  } else {
    int first_power = significand(magnitude, single ? 8 : 17).exponent - 1;  // value = x.xxx * 10^power
    s = significand(magnitude, d + group(first_power) + 1);
    int power = s.exponent - 1;
    before_count = group(power) + 1;
    exponent = power - before_count + 1;
    s.digits.resize(static_cast<std::size_t>(before_count + d), '0');
  }
  std::string exp = exponent_text(exponent, e, 'E');
  if (exp.empty()) return stars(w);
  return assemble(sign_of(value, plus), s.digits.substr(0, before_count), s.digits.substr(before_count), exp, w);
}

// The shortest text that reads back to the same value, never looking like
// an integer.
template <class T>
std::string shortest(T value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string out(buffer, result.ptr);
  if (out.find_first_of(".e") == std::string::npos) out += ".0";
  return out;
}

// 10^n in the item's own precision, by repeated multiplication.
template <class Real>
Real power_of_ten(int n) {
  Real r = 1;
  for (int i = 0; i < std::abs(n); ++i) r *= 10;
  return n >= 0 ? r : Real(1) / r;
}

// Gw.d[Ee]: the fixed form F(w-n).(d-p+1), followed by n blanks in place of
// the exponent, when the magnitude lies in the fixed range, else Ew.d[Ee].
// The range bounds are computed in the item's own precision (a float item
// in 32 bits), which decides the boundary cases as the Fortran runtime does.
template <class Real>
std::string edit_general(Real item, int w, int d, int e, int k, bool plus) {
  double value = item;
  if (!std::isfinite(value)) return edit_inf_nan(value, w, plus);
  if (w == 0) return shortest(item);
  Real m = std::fabs(item);
  Real exp_d = power_of_ten<Real>(d);
  Real r_sc = Real(1) - Real(0.5) / exp_d;
  volatile Real low_bound = Real(0.1) * r_sc;
  if (d == 0 || (m > 0 && (m < low_bound || Real(0.5) >= exp_d - m))) {
    return edit_exponent(value, w, d, e, k, 'E', plus);
  }
  // The decade: the smallest p with m < 10^p * r_sc (a tie moves up).
  int low = 0, high = d + 1, mid = 0, lbound = 0, ubound = d + 1;
  while (low <= high) {
    mid = (low + high) / 2;
    volatile Real bound = power_of_ten<Real>(mid - 1) * r_sc;
    if (m < bound) {
      ubound = mid;
      if (ubound == lbound + 1) break;
      high = mid - 1;
    } else if (m > bound) {
      lbound = mid;
      if (ubound == lbound + 1) {
        ++mid;
        break;
      }
      low = mid + 1;
    } else {
      ++mid;
      break;
    }
  }
  int pad = e <= 0 ? 4 : e + 2;
  if (pad >= w) pad = w - 1;
  int decimals = m == 0 ? d - 1 : d + 1 - mid;
  std::string fixed = edit_fixed(value, w - pad, decimals, 0, plus);
  if (fixed.find('*') != std::string::npos) return stars(w);
  return fixed + std::string(static_cast<std::size_t>(pad), ' ');
}

struct RecordSink {
  explicit RecordSink(const Items& list) : items(list) {}
  const Items& items;
  std::size_t next = 0;
  std::vector<std::string> records;
  std::string record;
  std::size_t pos = 0;
  int scale = 0;
  bool plus = false;
  bool bad_format = false;

  std::size_t written = 0;  // characters of the finished records, a newline each

  bool has_item() const { return next < items.size(); }

  // A statement's output is bounded: a format whose counts and positions
  // would make megabytes of blanks is an unusable format, not a record.
  static constexpr std::size_t kMaxOutput = std::size_t{1} << 20;

  bool put(std::string_view text) {
    if (pos > kMaxOutput || written + pos + text.size() > kMaxOutput) {
      bad_format = true;
      return false;
    }
    if (record.size() < pos + text.size()) record.resize(pos + text.size(), ' ');
    std::copy(text.begin(), text.end(), record.begin() + static_cast<std::ptrdiff_t>(pos));
    pos += text.size();
    return true;
  }

  bool data(const EditNode& node) {
    const Item& item = items[next++];
    return put(edit(node, item));
  }

  std::string edit(const EditNode& node, const Item& item) const {
    int w = node.width;
    if (node.kind == EditKind::Text) {
      const std::string* text = std::get_if<std::string>(&item);
      if (!text) return stars(w < 0 ? 1 : w);
      if (w < 0) return *text;
      if (static_cast<std::size_t>(w) > text->size()) return std::string(w - text->size(), ' ') + *text;
      return text->substr(0, static_cast<std::size_t>(w));
    }
    if (const int* i = std::get_if<int>(&item)) {
      if (node.kind == EditKind::Integer || node.kind == EditKind::General) {
        return edit_integer(*i, w, node.kind == EditKind::Integer ? node.digits : -1, plus);
      }
      return stars(w);  // an integer under a real descriptor
    }
    double value;
    if (const float* f = std::get_if<float>(&item)) {
      value = *f;
    } else if (const double* dv = std::get_if<double>(&item)) {
      value = *dv;
    } else {
      return stars(w);  // a text under a numeric descriptor
    }
    switch (node.kind) {
      case EditKind::Fixed:
        return edit_fixed(value, w, node.digits, scale, plus);
      case EditKind::Exponent:
        if (w == 0) return shortest(value);
        return edit_exponent(value, w, node.digits, node.exponent, scale, 'E', plus);
      case EditKind::DoubleExp:
        if (w == 0) return shortest(value);
        return edit_exponent(value, w, node.digits, node.exponent, scale, 'D', plus);
      case EditKind::Scientific:
        if (w == 0) return shortest(value);
        return edit_scientific(value, w, node.digits, node.exponent, plus);
      case EditKind::Engineering:
        if (w == 0) return shortest(value);
        return edit_engineering(value, w, node.digits, node.exponent, std::holds_alternative<float>(item), plus);
      case EditKind::General:
        if (std::holds_alternative<float>(item)) {
          return edit_general(std::get<float>(item), w, node.digits, node.exponent, scale, plus);
        }
        return edit_general(value, w, node.digits, node.exponent, scale, plus);
      default:
        return stars(w);  // a real under I
    }
  }

  bool control(const EditNode& node) {
    switch (node.kind) {
      case EditKind::Literal:
        return put(node.text);
      case EditKind::Skip:
        pos += static_cast<std::size_t>(node.count);
        break;
      case EditKind::SkipLeft:
        pos = pos > static_cast<std::size_t>(node.count) ? pos - node.count : 0;
        break;
      case EditKind::Tab:
        pos = static_cast<std::size_t>(node.count - 1);
        break;
      case EditKind::Scale:
        scale = node.count;
        break;
      case EditKind::SignPlus:
        plus = true;
        break;
      case EditKind::SignDefault:
        plus = false;
        break;
      default:
        break;  // BN, BZ: input only
    }
    return true;
  }

  bool next_record() {
    written += record.size() + 1;
    if (written > kMaxOutput) {
      bad_format = true;
      return false;
    }
    records.push_back(std::move(record));
    record.clear();
    pos = 0;
    return true;
  }

  void format_error() { bad_format = true; }
};

}  // namespace

std::vector<std::string> format_records(std::string_view format, const Items& items) {
  auto parsed = cached_format(format);
  if (!parsed) throw std::invalid_argument("bad record format " + std::string(format));
  RecordSink sink(items);
  long long budget = 10'000'000 + 64 * static_cast<long long>(items.size());
  walk_format(*parsed, sink, budget);
  if (sink.bad_format) throw std::invalid_argument("unusable record format " + std::string(format));
  sink.records.push_back(std::move(sink.record));
  return std::move(sink.records);
}

void write_formatted(int unit, std::string_view format, const Items& items) {
  for (const auto& record : format_records(format, items)) write_record(unit, record);
}

std::string list_record(const Items& items) {
  if (items.empty()) return {};
  std::string out = " ";
  bool after_number = false;
  for (const Item& item : items) {
    if (const std::string* text = std::get_if<std::string>(&item)) {
      if (after_number && !text->empty() && text->front() != ' ') out.push_back(' ');
      out += *text;
      after_number = after_number && text->empty();
      continue;
    }
    std::string number;
    if (const int* i = std::get_if<int>(&item)) {
      number = std::to_string(*i);
    } else if (const float* f = std::get_if<float>(&item)) {
      number = shortest(*f);
    } else {
      number = shortest(std::get<double>(item));
    }
    if (out.back() != ' ') out.push_back(' ');
    out += number;
    after_number = true;
  }
  return out;
}

void write_list(int unit, const Items& items) { write_record(unit, list_record(items)); }

}  // namespace quorvel

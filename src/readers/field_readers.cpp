#include "readers/field_readers.hpp"

#include "common/record_writer.hpp"

namespace quorvel {
namespace {

constexpr std::size_t npos = std::string_view::npos;

std::string_view key_of(std::string_view key) {
  std::size_t end = key.find_last_not_of(' ');
  return end == npos ? std::string_view{} : key.substr(0, end + 1);
}

// The key search shared by the readers: the position of the value, the
// character after the first delimiter that follows the key.
int find_value(std::string_view key, std::string_view text, char first_delim, std::size_t& p) {
  std::string_view k = key_of(key);
  std::size_t b = k.empty() ? npos : text.find(k);
  if (b == npos) return 1;
  std::size_t d = text.find(first_delim, b);
  if (d == npos) return 2;
  p = d + 1;
  return 0;
}

// Skips at most two blanks and reads an optional minus sign.
int skip_blanks_and_sign(std::string_view text, std::size_t& p) {
  for (int i = 0; i < 2 && p < text.size() && text[p] == ' '; ++i) ++p;
  if (p < text.size() && text[p] == '-') {
    ++p;
    return -1;
  }
  return 1;
}

std::string_view rest(std::string_view text, std::size_t p) {
  return p < text.size() ? text.substr(p) : std::string_view{};
}

// Whether the characters that are converted are all digits: a value is never
// formed from a stray character (1.5 in an integer field, a "*" run in).
bool all_digits(std::string_view chars) {
  for (char c : chars) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Where a number's digits start after `key`: past the blanks and the sign.
struct NumberStart {
  int ierr = 0;  // the code of find_value
  std::size_t p = 0;
  int sign = 1;
};

NumberStart find_number(std::string_view key, std::string_view text, char open) {
  NumberStart at;
  at.ierr = find_value(key, text, open, at.p);
  if (at.ierr == 0) at.sign = skip_blanks_and_sign(text, at.p);
  return at;
}

// The position of c at or after p, or npos.
std::size_t find_from(std::string_view text, char c, std::size_t p) { return p < text.size() ? text.find(c, p) : npos; }

// A field whose reading ends with code `ierr`.
template <class Field>
Field with_code(Field f, int ierr) {
  f.ierr = ierr;
  return f;
}

}  // namespace

void number(std::string_view chars, int nd, int& value) {
  if (nd < 1 || nd > 7 || static_cast<std::size_t>(nd) > chars.size()) return;
  int sum = 0, power = 1;
  for (int i = nd - 1; i >= 0; --i) {
    sum += (static_cast<unsigned char>(chars[i]) - '0') * power;
    power *= 10;
  }
  value = sum;
}

TextField charead(std::string_view key, std::string_view text, std::string_view delim) {
  TextField f;
  std::size_t p = 0;
  f.ierr = find_value(key, text, delim[0], p);
  if (f.ierr != 0) return f;
  const std::size_t end = find_from(text, delim[1], p);
  if (end == npos || end == p) return with_code(f, 3);
  std::string_view v = text.substr(p, end - p + 1);  // the value and its closing delimiter
  f.value.replace(0, std::min<std::size_t>(v.size(), 50), v.substr(0, 50));
  return f;
}

IntField numread(std::string_view key, std::string_view text, std::string_view delim, int note_unit) {
  const auto [ierr, p, sign] = find_number(key, text, delim[0]);
  IntField f;
  if (ierr != 0) return with_code(f, ierr);
  const std::size_t end = find_from(text, delim[1], p);
  const long nd = end == npos ? -1 : static_cast<long>(end - p);
  if (nd <= 0) return with_code(f, 3);
  if (nd >= 8) {
    writel(note_unit, "The number ", std::string(rest(text, p)), " > 999999");
    return with_code(f, 4);
  }
  if (!all_digits(text.substr(p, static_cast<std::size_t>(nd)))) return with_code(f, 6);
  int v = 0;
  number(text.substr(p), static_cast<int>(nd), v);
  f.value = sign * v;
  return f;
}

RealField rnumread(std::string_view key, std::string_view text, std::string_view delim, int note_unit) {
  const auto [ierr, p, sign] = find_number(key, text, delim[0]);
  RealField f;
  if (ierr != 0) return with_code(f, ierr);
  const std::size_t point = find_from(text, '.', p);
  if (point == npos) return with_code(f, 4);
  std::size_t ni = point - p;
  if (ni >= 8) {
    writel(note_unit, "The number ", std::string(rest(text, p)), " > 9,999,999");
    return with_code(f, 5);
  }

  // The nine characters after the point; a blank right after it reads as 0.
  std::string after(rest(text, point + 1).substr(0, 9));
  after.resize(9, ' ');
  if (after[0] == ' ') after[0] = '0';
  std::size_t end = after.find(delim[1]);
  long nf = end == npos ? -1 : static_cast<long>(end);
  if (nf <= 0) return with_code(f, 3);
  if (nf >= 7) {
    writel(note_unit, "The number ", after, " > 9,999,999");
    return with_code(f, 5);
  }
  if (!all_digits(text.substr(p, ni)) || !all_digits(std::string_view(after).substr(0, nf))) return with_code(f, 6);
  int whole = 0;
  if (ni > 0) number(text.substr(p), static_cast<int>(ni), whole);
  int fraction = 0;
  number(after, static_cast<int>(nf), fraction);
  double scale = 1;
  for (long i = 0; i < nf; ++i) scale *= 10;
  float magnitude = static_cast<float>(static_cast<double>(whole) + static_cast<double>(fraction) / scale);
  f.value = static_cast<float>(static_cast<float>(sign) * magnitude);
  return f;
}

}  // namespace quorvel

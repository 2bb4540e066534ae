// The format parser and the format-driven row reader: an arbitrary format
// text (the first line of the input) over arbitrary records (the rest),
// with an item list chosen by the input's first byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/format_parser.hpp"
#include "common/row_reader.hpp"
#include "common/units.hpp"
#include "fuzz_support.hpp"

using namespace quorvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_work_dir("format-reader");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const unsigned choice = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t eol = rest.find('\n');
  std::string_view format = rest.substr(0, eol);
  std::string_view records = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 1);

  auto parsed = parse_format(format);
  auto cached = cached_format(format);
  if ((parsed == nullptr) != (cached == nullptr)) __builtin_trap();

  fuzz::write_file("rows.dat", records);
  if (open_unit(kDataUnit, "rows.dat", OpenStatus::Old) != 0) __builtin_trap();
  // Items: up to 7 reals, and a date text first, last or nowhere.
  const int reals = static_cast<int>(choice % 8);
  const int text_at = static_cast<int>((choice / 8) % 3);  // 0 none, 1 first, 2 last
  const int text_length = 1 + static_cast<int>(choice / 24) % 30;
  std::vector<double> values(reals, -1.0);
  std::string text;
  std::vector<InputItem> items;
  if (text_at == 1) items.push_back({nullptr, &text, text_length});
  for (double& v : values) items.push_back({&v, nullptr, 0});
  if (text_at == 2) items.push_back({nullptr, &text, text_length});
  // Several statements in a row, as the data reader runs them.
  for (int statement = 0; statement < 4; ++statement) {
    int status = read_formatted(kDataUnit, format, items);
    if (text_at != 0 && status == 0 && text.size() != static_cast<std::size_t>(text_length)) __builtin_trap();
    if (status != 0) break;
  }
  read_formatted(kDataUnit, format, {});
  close_all_units();
  return 0;
}

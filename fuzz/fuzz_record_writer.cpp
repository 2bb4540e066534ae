// The record writer over arbitrary formats and items. A format that is not
// one throws std::invalid_argument: that is the writer's contract for the
// program's own format literals, so the harness accepts it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/record_writer.hpp"
#include "fuzz_support.hpp"

using namespace quorvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_work_dir("record-writer");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t eol = input.find('\n');
  std::string_view format = input.substr(0, eol);
  std::string_view values = eol == std::string_view::npos ? std::string_view{} : input.substr(eol + 1);

  // Items from the bytes after the format: a tag byte, then the value's bytes.
  Items items;
  std::size_t p = 0;
  while (p < values.size() && items.size() < 64) {
    unsigned tag = static_cast<unsigned char>(values[p++]) % 4;
    auto take = [&](void* out, std::size_t n) {
      std::memset(out, 0, n);
      std::size_t k = std::min(n, values.size() - p);
      std::memcpy(out, values.data() + p, k);
      p += k;
    };
    if (tag == 0) {
      int v;
      take(&v, sizeof v);
      items.emplace_back(v);
    } else if (tag == 1) {
      float v;
      take(&v, sizeof v);
      items.emplace_back(v);
    } else if (tag == 2) {
      double v;
      take(&v, sizeof v);
      items.emplace_back(v);
    } else {
      std::size_t n = p < values.size() ? static_cast<unsigned char>(values[p++]) % 40 : 0;
      n = std::min(n, values.size() - p);
      items.emplace_back(std::string(values.substr(p, n)));
      p += n;
    }
  }
  try {
    auto records = format_records(format, items);
    if (records.empty()) __builtin_trap();
  } catch (const std::invalid_argument&) {
  }
  std::string line = list_record(items);
  if (!items.empty() && (line.empty() || line[0] != ' ')) __builtin_trap();
  return 0;
}

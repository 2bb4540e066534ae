#pragma once
// Messages to several outputs at once. A message is one or more records,
// list-directed or fixed-format, written in full to each of its
// destinations in turn:
//   send(kAllOutputs, listed("Frame length = ", M, " < 10"));
//   send(kReportAndConsole, listed("Prob level pv ", pv, " > 1"), listed("Set pv ..."));
//   send(kConsoleAndErrorFile, formatted("(A70)", line));
#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/record_writer.hpp"
#include "common/units.hpp"

namespace quorvel {

// The units a message goes to, in the order they are written (at most four).
class Destinations {
 public:
  constexpr Destinations(std::initializer_list<int> units) {
    for (int unit : units)
      if (count_ < units_.size()) units_[count_++] = unit;
  }
  constexpr const int* begin() const { return units_.data(); }
  constexpr const int* end() const { return units_.data() + count_; }

 private:
  std::array<int, 4> units_{};
  std::size_t count_ = 0;
};

inline constexpr Destinations kAllOutputs{kReportUnit, kConsoleUnit, kErrorUnit};
inline constexpr Destinations kReportAndConsole{kReportUnit, kConsoleUnit};
inline constexpr Destinations kConsoleAndErrorFile{kConsoleUnit, kErrorUnit};
// The three output files of a run, in the order they are opened.
inline constexpr Destinations kRunFiles{kReportUnit, kPosUnit, kNegUnit};

// The records of one part of a message.
using Records = std::vector<std::string>;

// A list-directed record of `items`.
template <class... A>
Records listed(const A&... items) {
  return {list_record(Items{Item(items)...})};
}

// The records of `items` by a fixed format.
template <class... A>
Records formatted(std::string_view format, const A&... items) {
  return format_records(format, Items{Item(items)...});
}

// Writes records on one unit, in order.
inline void write_records(int unit, const Records& records) {
  for (const std::string& record : records) write_record(unit, record);
}

// Writes every part of the message to the first destination, then to the
// next, and so on.
template <class... Parts>
void send(const Destinations& to, const Parts&... parts) {
  for (int unit : to) (write_records(unit, parts), ...);
}

}  // namespace quorvel

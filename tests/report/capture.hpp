#pragma once
// Runs a writer against a unit opened on a temporary file and returns the
// records it wrote.
#include <string>
#include <vector>

#include "common/units.hpp"
#include "support/test_support.hpp"

namespace quorvel::testing {

template <class Writer>
std::vector<std::string> records_of(Writer&& write) {
  TempDir dir;
  const std::string path = (dir.path() / "unit.out").string();
  if (open_unit(kReportUnit, path, OpenStatus::Replace) != 0) return {"<open failed>"};
  write(kReportUnit);
  close_unit(kReportUnit);
  return lines_of(dir.read("unit.out"));
}

inline std::string repeat(char c, int n) { return std::string(static_cast<std::size_t>(n), c); }

}  // namespace quorvel::testing

#pragma once
// The program's version date, written on the value files' first lines and
// in the closing banner of every report.

namespace quorvel {

inline constexpr int kVersionMonth = 10, kVersionDay = 26, kVersionYear = 2009;

}  // namespace quorvel

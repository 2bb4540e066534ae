#pragma once
// The run control file and the data file header that a batch would need for
// the settings of a library call: the call runs the batch's own run routine
// on these texts, so every check and message is the batch's.
#include <string>
#include <vector>

#include "quorvel/quorvel.hpp"

namespace quorvel {

inline constexpr const char* kLibraryDataFile = "series.dat";
inline constexpr const char* kLibraryControlFile = "series.cnl";
inline constexpr const char* kLibraryReportFile = "series_Quorvel.out";
inline constexpr const char* kLibraryPositiveFile = "series-k3+_quorvel.out";
inline constexpr const char* kLibraryNegativeFile = "series-k3-_quorvel.out";

// The frame length chosen for n values: the largest M >= 10 whose exponent
// ln M / ln n, computed as the run computes it, is at most 0.3333; 10 when
// none is (then `within` is false).
int automatic_frame_length(long long n, bool& within);

struct RunTexts {
  std::string control;                // the run control file
  std::string header;                 // the data file's two header lines
  std::vector<std::string> warnings;  // settings the texts could only hold rounded
};

// Builds the texts for `settings` and a series of `values` values. Throws
// quorvel::Error for settings that no control file can hold (a unit that
// is not one word, a value that is not finite).
RunTexts run_texts(const Settings& settings, long long values);

}  // namespace quorvel

#pragma once
// The parameters of one run, built by the run routine from the control
// file, the data header and the set-up. Texts are blank-padded to their
// fixed lengths, as the report lines print them.
#include <string>

namespace quorvel {

struct RunParameters {
  std::string datafile = std::string(50, ' ');  // data file name as given
  std::string title = std::string(80, ' ');     // first line of the data file
  std::string fmt = std::string(50, ' ');       // record format of the data rows
  int nrows = 0, ncols = 0;                     // rows and columns of the header
  int icol = 0;                                 // column analysed (1-based)
  int iunit = 0;                                // 1 kHz, 2 Hz, 0 a time unit
  std::string unitname = std::string(15, ' ');  // first 15 characters of the unit text
  float rate = 0;                               // rate (kHz, Hz) or sampling interval
  float fl = 0, fu = 0;                         // passband ends
  int is = 0, ie = 0;                           // first and last row used
  int N = 0;                                    // observations used
  float bw = 0;                                 // resolution bandwidth
  int M = 0;                                    // frame length
  int lo = 0, hi = 0, ne = 0;                   // band indices, ne = hi - lo + 1
  int npos = 0, nneg = 0, na = 0, ntr = 0;      // value counts of the grid
  int k3pos = 0, k3neg = 0;                     // largest k3 of the two stationary sets
  float taper = 0;                              // taper percentage
  float e = 0;                                  // bandwidth frame exponent
  int iar = 0;                                  // largest AR order, 0 = none
  float pv = 0;                                 // p-value threshold of the AR fit
  int nres = 0;                                 // bootstrap resamples, 0 = none
  float quant = 0;                              // quantile of the nonlinearity test
};

// The results of one test pass: the four cumulative probabilities and the
// mean noncentrality parameter. They start at 0 before a run's first pass.
struct PassResults {
  float quantile = 0;       // quantile nonlinearity test
  float zero = 0;           // zero trispectrum test
  float reversibility = 0;  // time reversibility test
  float aliasing = 0;       // aliasing test
  float lambda = 0;         // mean noncentrality parameter

  // Kept beside the 32-bit results at full precision: the statistics, their
  // degrees of freedom and valid counts, and the scores by which the
  // bootstrap ranks passes (larger is more extreme; unlike the 32-bit tail
  // probabilities they do not saturate).
  int valid = 0;                 // valid stationary values v
  int aliasing_valid = 0;        // valid aliasing values v_a
  double quantile_z = 0;         // (xi - q) / sqrt(q(1 - q)/n)
  double zero_sum = 0;           // chi-square sum of the zero trispectrum test
  double reversibility_sum = 0;  // chi-square sum of the time reversibility test
  double aliasing_sum = 0;       // chi-square sum of the aliasing test
  double zero_df = 0, reversibility_df = 0, aliasing_df = 0;  // their degrees of freedom
  double quantile_score = 0, zero_score = 0, reversibility_score = 0, aliasing_score = 0;
};

}  // namespace quorvel

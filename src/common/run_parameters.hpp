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
}  // namespace quorvel

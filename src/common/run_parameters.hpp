#pragma once
// The parameters of one run, built by the run routine from the control
// file, the data header and the set-up. Texts are blank-padded to their
// fixed lengths, as the report lines print them.
#include <string>
#include <string_view>

namespace quorvel {

// The kind of a run's sampling unit: frequencies in kHz or in Hz, or a time
// unit, in which the passband is given as periods and the rate is the
// sampling interval. The numbers are those the report prints ("iunit = 2").
enum class SamplingUnit : int { Time = 0, Kilohertz = 1, Hertz = 2 };

inline bool is_frequency(SamplingUnit u) { return u != SamplingUnit::Time; }

// The kind named by a sampling-unit text: "kHz" (or "khz") anywhere in it,
// else "Hz" (or "hz"), else a time unit.
inline SamplingUnit sampling_unit_of(std::string_view text) {
  auto has = [text](const char* s) { return text.find(s) != std::string_view::npos; };
  return has("kHz") || has("khz") ? SamplingUnit::Kilohertz
         : has("Hz") || has("hz") ? SamplingUnit::Hertz
                                  : SamplingUnit::Time;
}

// What frequency index k stands for in the run's unit, in single precision:
// its frequency (kHz or Hz) for bandwidth bw, or its period for a time unit.
inline float band_value(SamplingUnit u, float bw, float k) {
  if (u == SamplingUnit::Kilohertz) return bw * k * 0.001f;
  if (u == SamplingUnit::Hertz) return bw * k;
  return bw / k;
}

struct RunParameters {
  std::string datafile = std::string(50, ' ');  // data file name as given
  std::string title = std::string(80, ' ');     // first line of the data file
  std::string fmt = std::string(50, ' ');       // record format of the data rows
  int nrows = 0, ncols = 0;                     // rows and columns of the header
  int icol = 0;                                 // column analysed (1-based)
  SamplingUnit iunit = SamplingUnit::Time;      // kHz, Hz or a time unit
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

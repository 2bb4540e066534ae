#pragma once
// A run as its front ends ask for it (the batch from the control file and
// the data header, the library from its settings), and its plan: the
// sizing of frames, band and grid into the run's parameters, with the
// problems that stop it and the notices it goes on after, as codes. Each
// front end words them in its own language.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/diagnostics.hpp"
#include "common/run_parameters.hpp"
#include "engine/size.hpp"

namespace quorvel {

struct RunSpec {
  // The series: its title, the file it comes from and how its rows are read.
  // Texts as the report prints them (blank-padded fields take them as they are).
  std::string title;     // the report's title line, 80 characters
  std::string datafile;  // as the control file names it (empty for values in memory)
  std::string fmt;       // the format of the data rows
  int nrows = 0;         // rows (values) available
  int ncols = 1, icol = 1;
  // How it was sampled.
  SamplingUnit iunit = SamplingUnit::Hertz;
  std::string unitname = "Hz";  // the report prints its first 15 characters
  float rate = 1;               // sampling rate (kHz, Hz), or the sampling interval of a time unit
  // The analysis asked for.
  float fl = 0, fu = 0;  // passband in the run's frequency unit; fu = 0: up to Nyquist
  float taper = 0;       // percent of each frame
  float bw = 0;          // resolution bandwidth, which sets the frame length,
  int frame_length = 0;  // unless the frame length is given (the bandwidth then follows)
  int iar = 0;           // largest AR order, 0 = no prewhitening
  float pv = 0;          // p-value threshold of the AR fit
  int is = 1, ie = 0;    // first and last datum (ie = 0: the last)
  int nres = 0;          // bootstrap resamples (as the run makes them)
  float quant = 0.8f;    // quantile of the nonlinearity test
  // How the run is carried out: the shuffles' seed (none: the program's own
  // generator, which runs on from run to run) and the threads it may use
  // (0: the processors of the machine).
  std::optional<std::uint32_t> seed;
  int threads = 0;
};

// The passband of a time-unit run from its longest and shortest period (0:
// the longest period of a million units, the Nyquist frequency).
void set_passband_from_periods(float longest, float shortest, RunSpec& spec);

// What stops a run at its sizing, in the order the sizing meets them.
enum class SizingProblem {
  None,
  AboveNyquist,          // fu > rate / 2 (in cycles per sample for a time unit)
  LastBeyondRows,        // ie > nrows
  FrameTooShort,         // M <= 9
  TooFewFrames,          // N / M < 4
  BandTooNarrow,         // lo = hi
  ExponentOutOfBounds,   // e <= 0.01 or e >= 0.99
  TooFewTrifrequencies,  // npos + nneg <= 5
  NoPositiveValues,      // npos = 0
  TooManyValues,         // more values than the arrays can index
};

struct Plan {
  RunSpec spec;
  RunParameters rp;  // complete when there is no problem; sized as far as the sizing got
  SizingProblem problem = SizingProblem::None;
  GridCounts grid;                   // the counts of the band's grid, in 64 bits
  std::vector<Diagnostic> notices;  // what the run goes on after (consistency, taper)
};

// Sizes the run. Writes nothing: the problem and the notices are returned.
Plan plan(const RunSpec& spec);

}  // namespace quorvel

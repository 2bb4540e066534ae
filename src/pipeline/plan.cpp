#include "pipeline/plan.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace quorvel {
namespace {

// The nearest whole number, halves away from zero, kept inside the range
// of an integer so that absurd inputs cannot overflow (NaN gives 0).
int nint(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483520.0f) return INT_MAX;
  if (v <= -2147483520.0f) return INT_MIN;
  return static_cast<int>(std::lround(v));
}

std::string fixed(double v, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

RunParameters parameters_of(const RunSpec& s) {
  RunParameters rp;
  rp.datafile = s.datafile;
  rp.title = s.title;
  rp.fmt = s.fmt;
  rp.nrows = s.nrows;
  rp.ncols = s.ncols;
  rp.icol = s.icol;
  rp.iunit = s.iunit;
  rp.unitname = s.unitname.substr(0, 15);
  rp.rate = s.rate;
  rp.fl = s.fl;
  rp.fu = s.fu;
  rp.is = s.is;
  rp.ie = s.ie;
  rp.bw = s.bw;
  rp.taper = s.taper;
  rp.iar = s.iar;
  rp.pv = s.pv;
  rp.nres = s.nres;
  rp.quant = s.quant;
  return rp;
}

// The frame length of the resolution bandwidth: the single-precision
// quotient, rounded.
int frame_of_bandwidth(const RunParameters& rp) {
  const float q = rp.iunit == SamplingUnit::Kilohertz ? (rp.rate * 1000.0f) / rp.bw
                  : rp.iunit == SamplingUnit::Hertz   ? rp.rate / rp.bw
                                                      : rp.bw / rp.rate;
  return nint(q);
}

// The resolution bandwidth of frames of m points.
float bandwidth_of_frame(int m, const RunParameters& rp) {
  const float fm = static_cast<float>(m);
  return rp.iunit == SamplingUnit::Kilohertz ? (rp.rate * 1000.0f) / fm
         : rp.iunit == SamplingUnit::Hertz   ? rp.rate / fm
                                             : fm * rp.rate;
}

}  // namespace

void set_passband_from_periods(float longest, float shortest, RunSpec& spec) {
  const float pl = longest <= 0 ? 1000000.0f : longest;
  spec.fl = 1.0f / pl;
  spec.fu = shortest <= 0 ? 0.5f / spec.rate : 1.0f / shortest;
}

Plan plan(const RunSpec& spec) {
  Plan p;
  p.spec = spec;
  RunParameters& rp = p.rp;
  rp = parameters_of(spec);
  auto problem = [&p](SizingProblem what) {
    p.problem = what;
    return p;
  };

  // The Nyquist check, in cycles per sample for a time-unit run.
  const bool beyond = is_frequency(rp.iunit) ? rp.fu > 0.5f * rp.rate : rp.fu * rp.rate > 0.5f;
  if (beyond) return problem(SizingProblem::AboveNyquist);
  float fln, fun;
  if (is_frequency(rp.iunit)) {
    fln = rp.fl / rp.rate;
    fun = rp.fu <= 0 ? 0.5f : rp.fu / rp.rate;
  } else {
    fln = rp.fl * rp.rate;
    fun = rp.fu * rp.rate;
  }

  if (rp.ie > rp.nrows) return problem(SizingProblem::LastBeyondRows);
  if (rp.ie == 0) rp.ie = rp.nrows;
  const long long n = static_cast<long long>(rp.ie) - rp.is + 1;
  rp.N = static_cast<int>(std::max<long long>(std::min<long long>(n, INT_MAX), INT_MIN));

  if (spec.frame_length > 0) {
    rp.M = spec.frame_length;
    rp.bw = bandwidth_of_frame(rp.M, rp);
  } else {
    rp.M = frame_of_bandwidth(rp);
  }
  if (rp.M <= 9) return problem(SizingProblem::FrameTooShort);
  if (rp.N / rp.M < 4) return problem(SizingProblem::TooFewFrames);
  if (nint(static_cast<float>(rp.M) * rp.taper * 0.005f) < 2) {
    if (rp.taper > 0) {
      p.notices.push_back({"taper_too_short", "a taper of " + fixed(rp.taper, 2) + " % tapers fewer than 2 values of a " +
                                                  std::to_string(rp.M) + "-point frame: the frames are not tapered"});
    }
    rp.taper = 0;
  }

  rp.lo = std::max(nint(fln * static_cast<float>(rp.M)), 1);
  rp.hi = rp.fu > 0 ? std::min(nint(fun * static_cast<float>(rp.M)), rp.M / 2) : rp.M / 2;
  if (rp.lo == rp.hi) return problem(SizingProblem::BandTooNarrow);

  rp.e = logf(static_cast<float>(rp.M)) / logf(static_cast<float>(rp.N));
  if (rp.e <= 0.01f || rp.e >= 0.99f) return problem(SizingProblem::ExponentOutOfBounds);
  if (rp.e > 0.3333f) {
    p.notices.push_back({"consistency", "the bandwidth frame exponent e = ln M / ln N = " + fixed(rp.e, 5) +
                                            " is above 1/3 (M = " + std::to_string(rp.M) + ", N = " +
                                            std::to_string(rp.N) +
                                            "): the asymptotic p-values are not calibrated there; read the Shuffled "
                                            "p-values"});
  }

  p.grid = size(rp.lo, rp.hi, rp.M);
  const long long stationary = p.grid.npos + p.grid.nneg;
  if (stationary <= 5) return problem(SizingProblem::TooFewTrifrequencies);
  if (p.grid.npos == 0) return problem(SizingProblem::NoPositiveValues);
  rp.ne = rp.hi - rp.lo + 1;
  if (stationary + p.grid.na > INT_MAX) return problem(SizingProblem::TooManyValues);
  rp.npos = static_cast<int>(p.grid.npos);
  rp.nneg = static_cast<int>(p.grid.nneg);
  rp.na = static_cast<int>(p.grid.na);
  rp.ntr = rp.npos + rp.nneg + rp.na;
  rp.k3pos = static_cast<int>(p.grid.k3pos);
  rp.k3neg = static_cast<int>(p.grid.k3neg);
  return p;
}

}  // namespace quorvel

#include "report/wr2.hpp"

#include <cmath>
#include <string>

#include "common/record_writer.hpp"

namespace quorvel {
namespace {

// A text blank-padded or cut to exactly `length` characters, as a field of
// that fixed length would hold it.
std::string fixed_text(const std::string& text, std::size_t length) {
  std::string s = text.substr(0, length);
  s.resize(length, ' ');
  return s;
}

}  // namespace

void wr2(const RunParameters& rp, int unit) {
  const int nf = rp.hi - rp.lo + 1;
  // The frame length is validated before the summary; guard the division anyway.
  const int frames = rp.M > 0 ? rp.N / rp.M : 0;
  const std::string unitname = fixed_text(rp.unitname, 10);

  writef(unit, "(1X,A79)", fixed_text(rp.title, 79));
  writef(unit, "(/,7X,'First datum read',I7,2X,'Last datum read',I8)", rp.is, rp.ie);
  if (is_frequency(rp.iunit)) {
    writef(unit,
           "(/,' Sample size = ',I8,2X,'No. of frequencies in the band = ',I6,2X,"
           "'No. frames = ',I6,/)",
           rp.N, nf, frames);
  }
  if (rp.iunit == SamplingUnit::Time) {
    writef(unit,
           "(/,' Sample size = ',I8,2X,'No. of periods in the band = ',I6,2X,"
           "'No. frames = ',I6,/)",
           rp.N, nf, frames);
  }

  // Frame duration in milliseconds, in single precision.
  const float frame_msec = 1000.0f / rp.bw;
  const float flo = static_cast<float>(rp.lo);
  const float fhi = static_cast<float>(rp.hi);
  if (rp.iunit == SamplingUnit::Kilohertz || rp.iunit == SamplingUnit::Hertz) {
    const bool khz = rp.iunit == SamplingUnit::Kilohertz;
    writef(unit,
           khz ? "(' Sampling rate =',F12.4,' kHz ',4X,'Frame size ',I5,/)"
               : "(' Sampling rate =',F12.4,' Hz ',4X,'Frame size ',I5,/)",
           rp.rate, rp.M);
    writef(unit, "(' Resolution Bandwidth :',E14.4,' Hz',E14.4,' msec',/)", rp.bw, frame_msec);
    writef(unit, khz ? "(' Passband (',F9.4,2X,F10.4,' ) kHz',/)" : "(' Passband (',F9.4,2X,F10.4,' ) Hz',/)",
           band_value(rp.iunit, rp.bw, flo), band_value(rp.iunit, rp.bw, fhi));
  } else if (rp.iunit == SamplingUnit::Time) {
    writef(unit, "(' Sampling interval = ',F12.4,1X,A10,2X,'Frame size ',I5,/)", rp.rate,
           unitname, rp.M);
    writef(unit, "(' Resolution Bandwidth :',E14.4,1X,A10,/)", rp.bw, unitname);
    // The longest and the shortest period of the band.
    const float longest = band_value(rp.iunit, rp.bw, flo);
    const float shortest = band_value(rp.iunit, rp.bw, fhi);
    writef(unit, "(' Passband (',F10.2,2X,F7.4,' )',1X,A10,/)", longest, shortest, unitname);
  }

  // Values tapered at each end of a frame, rounded half away from zero in
  // single precision; fewer than 2 means no taper.
  int nt = static_cast<int>(std::round(static_cast<float>(rp.M) * rp.taper * 0.005f));
  if (nt < 2) nt = 0;
  if (rp.taper > 0 && nt > 0) {
    writef(unit, "(' % taper = ',F5.2,4X,'No. tapered at each end = ',I5,/)", rp.taper, nt);
  }
  if (nt == 0) writef(unit, "(' % Taper yields no. of tapered values < 2',/)");

  if (rp.nres > 0) {
    writef(unit, "(4X,'Residuals are Bootstrapped using ',I5,' resamples',/)", rp.nres);
  }
  writef(unit, "(7X,'Nonlinearity Test Computed for the ',F5.2,' Quantile',/)", rp.quant);
  writef(unit, "(7X,'Bandwidth Frame Exponent = ',F7.4,/)", rp.e);
}

}  // namespace quorvel

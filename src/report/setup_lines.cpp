#include "report/setup_lines.hpp"

#include <algorithm>
#include <climits>

#include "common/send.hpp"

namespace quorvel {
namespace {

int clamped(long long count) { return static_cast<int>(std::min<long long>(count, INT_MAX)); }

}  // namespace

int bootstrap_resamples(int nres, int iar) {
  if (nres > 0 && nres < 11) {
    writef(kReportUnit,
           "(/,2X,'Bootstrap is turned off if the number of resampl s is less than 11',/,' Resamples = ',I2)", nres);
    send(kConsoleAndErrorFile,
         formatted("(/,2X,'Bootstrap is turned off if the number of resamples is less than 11',/,' Resamples = ',I2)",
                   nres));
    nres = 0;
  }
  if (iar == 0 && nres > 0) {
    // The resamples shuffle the AR residuals: without them there is no bootstrap, and the user is told.
    send(kAllOutputs, formatted("(/,2X,'Bootstrap is turned off without AR prewhitening',/,' Resamples = ',I7)", nres));
  }
  return iar == 0 ? 0 : nres;
}

void write_consistency_warning(const RunParameters& rp) {
  send(kReportAndConsole, formatted("(/,2X,'Condition for Consistency of Estimates is Violated - e =',F7.5)", rp.e),
       formatted("(7X,'Resolution Bandwidth = ',F10.2)", rp.bw));
}

void write_positive_count(long long npos) {
  writef(kReportUnit, "(/,3X,'Stationary Trispectrum Values for k3 > 0 = ',I9)", clamped(npos));
}

void write_other_counts(long long nneg, long long total, long long na) {
  writef(kReportUnit, "(3X,'Stationary Trispectrum Values for k3 < 0 = ',I9)", clamped(nneg));
  writef(kReportUnit, "(3X,'Total  Number of Values = ',I9)", clamped(total));
  writef(kReportUnit, "(3X,'Aliasing Trispectrum Values = ',I9,/)", clamped(na));
}

}  // namespace quorvel

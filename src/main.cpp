// Quorvel: trispectrum tests of a sampled time series for nonlinearity,
// time irreversibility, non-Gaussianity and aliasing. Runs the batch of
// "Runquorvel.cnl" in the working directory; takes no arguments.
#include <cstdio>
#include <exception>

#include "common/stop.hpp"
#include "common/units.hpp"
#include "input/batch.hpp"

int main() {
  int status = 0;
  try {
    status = quorvel::run_batch();
  } catch (const quorvel::Stop& s) {
    status = s.status;
  } catch (const std::exception& e) {
    quorvel::flush_all_units();
    std::fprintf(stderr, " Unexpected failure: %s\n", e.what());
    status = 1;
  }
  if (!quorvel::close_all_units()) status = 1;  // a failed write found at the last flush
  return status;
}

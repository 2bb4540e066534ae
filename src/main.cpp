// Quorvel: trispectrum tests of a sampled time series for nonlinearity,
// time irreversibility, non-Gaussianity and aliasing. Without arguments it
// runs the batch of "Runquorvel.cnl" in the working directory; with
// arguments it is the command line (quorvel analyse, --help, --version).
#include <cstdio>
#include <exception>

#include "cli/batch_outputs.hpp"
#include "cli/command_line.hpp"
#include "cli/progress_bar.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "input/batch.hpp"

int main(int argc, char** argv) {
  if (argc > 1) {
    try {
      return quorvel::cli::run_command_line(argc, argv);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quorvel: %s\n", e.what());
      return 1;
    }
  }
  int status = 0;
  try {
    quorvel::cli::BatchOutputs outputs;
    quorvel::cli::ProgressBar bar("Quorvel");
    status = quorvel::run_batch([&outputs](const quorvel::RunOutcome& o) { outputs.add(o); });
    if (outputs.failed()) status = 1;
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

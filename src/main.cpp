// Quorvel: trispectrum tests of a sampled time series for nonlinearity,
// time irreversibility, non-Gaussianity and aliasing. Without arguments it
// runs the batch of "Runquorvel.cnl" in the working directory; with
// arguments it is the command line (quorvel analyse, --help, --version).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <string>

#include "cli/batch_outputs.hpp"
#include "cli/command_line.hpp"
#include "cli/progress_bar.hpp"
#include "common/interrupt.hpp"
#include "common/send.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "input/batch.hpp"

namespace {

// A descriptor 0, 1 or 2 left closed by the caller would be taken by the
// first file the program opens, and console lines would land in it. It is
// taken by /dev/null opened the other way round, so that every use of it
// fails as it would on the closed descriptor: results written to a closed
// standard output are a failed write, not a silent success.
void make_standard_descriptors_valid() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  make_standard_descriptors_valid();
  if (argc > 1) {
    try {
      return quorvel::cli::run_command_line(argc, argv);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quorvel: %s\n", e.what());
      return 1;
    }
  }
  quorvel::install_interrupt_handlers();
  int status = 0;
  quorvel::cli::BatchOutputs outputs;
  quorvel::cli::ProgressBar bar("Quorvel");
  quorvel::BatchObserver observer;
  observer.started = [&bar](int, const std::string& control) { bar.set_label(control); };
  observer.ended = [&outputs](const quorvel::RunReport& run) { outputs.add(run); };
  try {
    status = quorvel::run_batch(observer);
  } catch (const quorvel::Stop& s) {
    status = s.status;
  } catch (const std::exception& e) {
    quorvel::flush_all_units();
    std::fprintf(stderr, " Unexpected failure: %s\n", e.what());
    status = 1;
  }
  // The summary is written afresh however the batch ended, but for a signal:
  // an interrupted batch leaves the files of its name as they were.
  if (quorvel::take_signal() == 0) outputs.finish();
  if (outputs.failed() && status == 0) status = 1;
  // An interrupted run leaves no outputs of its own; earlier files of their
  // names stay as they were. A signal after the last safe point counts too.
  if (const int signal = quorvel::take_signal(); signal != 0) {
    quorvel::discard_staged_units();
    quorvel::send(quorvel::kConsoleAndErrorFile, quorvel::listed("Interrupted by signal ", signal));
    status = 128 + signal;
  }
  if (!quorvel::close_all_units() && status == 0) status = 1;  // a failed write found at the last flush
  return status;
}

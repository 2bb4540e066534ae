#include "input/batch.hpp"

#include <csignal>
#include <string>

#include "common/clock.hpp"
#include "common/record_writer.hpp"
#include "common/send.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "readers/field_readers.hpp"
#include "input/top.hpp"

namespace quorvel {
namespace {

constexpr const char* kListFile = "Runquorvel.cnl";

}  // namespace

int run_batch(const RunObserver& after_run) {
  float run_timer = processor_time();
  // A file size limit must fail the write (EFBIG, reported as a failed
  // write) rather than kill the process without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  // A console piped into a program that has gone (quorvel | head) must not
  // end the batch half-way: its writes fail and are passed over.
  std::signal(SIGPIPE, SIG_IGN);
  // The batch can run without its error file (its messages stay on the
  // console), but it does not end as a success then.
  bool abandoned = false;
  constexpr const char* kErrorFile = "Quorvel-error.out";
  // The error file is emptied at start: never when it is the batch list.
  int status = same_file(kErrorFile, kListFile) ? kSameAsAnInput : open_unit(kErrorUnit, kErrorFile, OpenStatus::Replace);
  if (status != 0) {
    writel(kConsoleUnit, "**** Error on opening Quorvel-error.out ", status);
    if (status == kSameAsAnInput) writel(kConsoleUnit, std::string(kErrorFile) + " is the same file as " + kListFile);
    if (status == kNotARegularFile) writel(kConsoleUnit, refusal_reason());
    abandoned = true;
  }

  if (!file_exists(kListFile)) {
    writef(kConsoleUnit, "(/)");
    writel(kConsoleUnit, "Runquorvel.cnl file does not exist");
    writel(kErrorUnit, "Runsquorvel.cnl file does not exist");
    stop();
  }
  if (int status = open_unit(kListUnit, kListFile, OpenStatus::Old); status != 0) {
    writel(kConsoleUnit, "**** Error on opening Runquorvelt.cnl ", status);
    stop();
  }

  std::string line;
  if (int status = read_fixed(kListUnit, 80, line); status != 0) {
    if (status == kEndOfFile) send(kConsoleAndErrorFile, listed("End of file on runquorvel.cnl reads"));
    send(kConsoleAndErrorFile, listed("Place the symbol # after the two top reads ", status));
    stop();
  }
  if (line.find('*') == std::string::npos) {
    send(kConsoleAndErrorFile, listed("Place comment marker * after each line in Rundralnit.cnl"),
         formatted("(A70)", line));
    stop();
  }
  // An unreadable count counts as 0: the batch then ends silently.
  IntField count = numread("uns", line, "= ", kNoteUnit);
  int nruns = count.ierr == 0 ? count.value : 0;
  if (nruns <= 0) stop(0);

  for (int irun = 1; irun <= nruns; ++irun) {
    if (int status = read_fixed(kListUnit, 80, line); status != 0) {
      if (status == kEndOfFile) {
        writel(kConsoleUnit, "End of file on runquorvel.cnl reads");
        writel(kErrorUnit, "End of file on runquovrel.cnl reads");
      } else {
        send(kConsoleAndErrorFile, listed("**** Error on reading name of cnl file ", irun, status), listed(line));
      }
      stop();
    }
    std::size_t star = line.find('*');
    std::string name = star == std::string::npos ? std::string() : line.substr(0, star);
    name.resize(80, ' ');

    if (!file_exists(name)) {
      send(kConsoleAndErrorFile, formatted("(/)"), listed("cnl file does not exist ", name));
      stop();
    }
    if (int status = open_unit(kControlUnit, name, OpenStatus::Old); status != 0) {
      send(kConsoleAndErrorFile, listed("**** Error on opening cnl file no. ", irun, status), listed(name));
      stop();
    }
    RunOutcome outcome;
    if (!top(run_timer, nruns, irun, after_run ? &outcome : nullptr)) {
      abandoned = true;
    } else if (after_run) {
      after_run(outcome);
    }
  }
  // A failed write of the error file lets the batch go on, but not end as a success.
  return abandoned || output_failed() ? 1 : 0;
}

}  // namespace quorvel

#include "input/batch.hpp"

#include <csignal>
#include <exception>
#include <string>
#include <vector>

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
constexpr const char* kNotComputedNotice =
    "No p-values: the tests were not computed with fewer than 12 valid trispectrum values";

std::string trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Console lines that a run writes whether or not it goes wrong.
bool is_notice(const std::string& line) {
  for (const char* p : {"Elapsed time =", "Outputs ", "Condition for Consistency", "Resolution Bandwidth =",
                        "Bootstrap is turned off", "Resamples ="}) {
    if (line.rfind(p, 0) == 0) return true;
  }
  return false;
}

// A record without the blanks that pad its fields: runs of blanks as one.
std::string squeezed(const std::string& record) {
  std::string text;
  for (char c : trimmed(record)) {
    if (c != ' ' || text.empty() || text.back() != ' ') text += c;
  }
  return text;
}

// The message of a run that went wrong: its console lines but the notices,
// or, when it wrote its message to the report only, the report's last line.
std::string run_message(const std::vector<CapturedRecord>& records) {
  std::string message, last_report_line;
  for (const CapturedRecord& r : records) {
    const std::string line = squeezed(r.text);
    if (line.empty()) continue;
    if (r.unit == kReportUnit) {
      last_report_line = line;
    } else if (!is_notice(line)) {
      message += (message.empty() ? "" : "\n") + line;
    }
  }
  return message.empty() ? last_report_line : message;
}

// Copies the console and report records into a buffer while it lives.
class RecordCopies {
 public:
  RecordCopies() { copy_records(&records); }
  ~RecordCopies() { copy_records(nullptr); }
  RecordCopies(const RecordCopies&) = delete;
  RecordCopies& operator=(const RecordCopies&) = delete;
  std::vector<CapturedRecord> records;
};

// Reads the name of run irun's control file from the batch list into
// `report` and opens the file on unit 11; an error stops the batch.
void open_control_file(int irun, RunReport& report) {
  std::string line;
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
  report.control = trimmed(name);

  if (!file_exists(name)) {
    send(kConsoleAndErrorFile, formatted("(/)"), listed("cnl file does not exist ", name));
    stop();
  }
  if (int status = open_unit(kControlUnit, name, OpenStatus::Old); status != 0) {
    send(kConsoleAndErrorFile, listed("**** Error on opening cnl file no. ", irun, status), listed(name));
    stop();
  }
}

// How a run that came back from `top` ended: too few valid values is the
// one way a run that got to its pipeline comes back without its tests.
void note_end(bool completed, const RunOutcome& outcome, const std::vector<CapturedRecord>& records,
              RunReport& report) {
  report.end = completed ? RunEnd::Completed : outcome.rp.M > 0 ? RunEnd::NotComputed : RunEnd::Abandoned;
  if (report.end == RunEnd::Abandoned) {
    report.datafile = unit_file_name(kDataUnit);
    report.message = run_message(records);
  } else {
    report.datafile = trimmed(outcome.rp.datafile);
    if (!completed) report.message = kNotComputedNotice;
  }
  report.outcome = &outcome;
}

}  // namespace

int run_batch(const BatchObserver& observer) {
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

  RecordCopies copies;
  for (int irun = 1; irun <= nruns; ++irun) {
    copies.records.clear();
    // A run that stops before it opens its data file names no earlier one.
    close_unit(kDataUnit);
    RunReport report;
    report.irun = irun;
    RunOutcome outcome;
    // A run that stops is told with its message (but for an interrupting
    // signal: such a run leaves nothing of its own behind).
    auto tell_stop = [&](const std::string& message) {
      if (!observer.ended) return;
      report.end = RunEnd::Stopped;
      report.datafile = unit_file_name(kDataUnit);
      report.message = message;
      observer.ended(report);
    };
    try {
      open_control_file(irun, report);
      if (observer.started) observer.started(irun, report.control);
      const bool completed = top(run_timer, nruns, irun, observer.ended ? &outcome : nullptr);
      if (!completed) abandoned = true;
      note_end(completed, outcome, copies.records, report);
    } catch (const Stop& s) {
      if (s.signal == 0) tell_stop(run_message(copies.records));
      throw;
    } catch (const std::exception& e) {
      tell_stop(std::string("Unexpected failure: ") + e.what());
      throw;
    }
    if (observer.ended) observer.ended(report);
  }
  // A failed write of the error file lets the batch go on, but not end as a success.
  return abandoned || output_failed() ? 1 : 0;
}

}  // namespace quorvel

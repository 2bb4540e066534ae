#include "input/top.hpp"

#include <algorithm>
#include <map>
#include <string>

#include "common/clock.hpp"
#include "common/record_writer.hpp"
#include "common/run_parameters.hpp"
#include "common/send.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "pipeline/plan.hpp"
#include "pipeline/run_plan.hpp"
#include "readers/field_readers.hpp"
#include "readers/readhead.hpp"
#include "report/head.hpp"
#include "report/setup_lines.hpp"

namespace quorvel {
namespace {

constexpr std::size_t kLineLength = 80;
constexpr std::size_t kTextLength = 700;
constexpr int kMaxParameterLines = 17;
constexpr std::size_t kMaxFileName = 50;

std::string trimmed(const std::string& s) {
  std::size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// The base name of the data file: the part after its last separator, so
// that the outputs named after it land in the working directory whatever
// path the name holds.
std::string base_name(const std::string& datafile) {
  std::string name = trimmed(datafile);
  std::size_t last = name.find_last_of("\\/");
  return last == std::string::npos ? name : name.substr(last + 1);
}

// A control character (a NUL included) in a file name: the system would see
// another name than the checks do.
bool has_control_character(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u < 32 || u == 127;
  });
}

// The stem of the output names: the base name up to its first point.
std::string output_stem(const std::string& datafile) {
  std::string base = base_name(datafile);
  return base.substr(0, base.find('.'));
}

// The line that asks the user to check the units of the passband.
Records unit_hint(const RunSpec& rp) {
  switch (rp.iunit) {
    case SamplingUnit::Kilohertz:
      return listed("Check to see the (fl,fu) units are kHz");
    case SamplingUnit::Hertz:
      return listed("Check to see the (fl,fu) units are Hz");
    default:
      return listed("Check to see the (fl,fu) units are ", rp.unitname);
  }
}

// The parameter text, joined from the parameter segments of at
// most 17 lines, up to the "#" line.
std::string read_parameter_text() {
  std::string text;
  std::string line;
  for (int i = 0; i < kMaxParameterLines; ++i) {
    if (read_fixed(kControlUnit, kLineLength, line) != 0) {
      send(kConsoleAndErrorFile, listed("End of file on cnl file before the # line"));
      stop();
    }
    if (line.find('#') != std::string::npos) break;
    std::size_t star = line.find('*');
    if (star == std::string::npos) {
      send(kConsoleAndErrorFile, listed("Place comment marker * after parameters on map.cnl"), formatted("(A70)", line));
      stop();
    }
    text += line.substr(0, star);
    if (text.size() > kTextLength) {
      send(kConsoleAndErrorFile, listed("Parameters of cnl file exceed 700 characters"));
      stop();
    }
  }
  text.resize(kTextLength, ' ');
  return text;
}

std::string padded_key(const char* key) {
  std::string k(key);
  k.resize(20, ' ');
  return k;
}

// A reader error that the sequence examines no further: "Error <code> in
// read of <what>" (and the key, when one is given) on `to`, then a stop.
void stop_on_read_error(int ierr, const char* what, const Destinations& to = kAllOutputs,
                        const char* key = nullptr) {
  if (ierr == 0) return;
  const Records message = listed("Error ", ierr, std::string(" in read of ") + what);
  if (key) {
    send(to, message, listed(padded_key(key)));
  } else {
    send(to, message);
  }
  stop();
}

// The value of a field, or a stop after its reader's error.
template <class Field>
auto value_or_stop(const Field& field, const char* what) {
  stop_on_read_error(field.ierr, what);
  return field.value;
}

// The integer after `key`, or a stop with the error and the key on `to`.
int integer_or_stop(const std::string& text, const char* key, const char* what, const Destinations& to) {
  const IntField field = numread(key, text, "= ", kNoteUnit);
  stop_on_read_error(field.ierr, what, to, key);
  return field.value;
}

// Opens an output file of the run under a temporary name (it replaces the
// file of its name when the run ends) and reports a failure; names longer
// than the 50-character name field are refused rather than cut, and so is
// a path that is no regular file or one of the inputs.
bool open_output(int unit, const std::string& name, const char* message) {
  int status = name.size() > kMaxFileName ? kNameTooLong : open_unit(unit, name, OpenStatus::Staged);
  if (status != 0) {
    send(kConsoleAndErrorFile, listed(message, name, " ", status));
    if (status == kNotARegularFile || status == kSameAsAnInput) send(kConsoleAndErrorFile, listed(refusal_reason()));
    return false;
  }
  return true;
}

// An abandoned run leaves no outputs of its own: earlier files of the names
// stay as they were.
bool abandon_outputs() {
  for (int unit : kRunFiles) discard_unit(unit);
  return false;
}

// Two runs of a batch that write the same outputs (the same data file, or
// two of one name in different folders): the later one says so.
void note_same_outputs(const std::string& report, int irun) {
  struct Writer {
    int irun;
    std::string control;
  };
  thread_local std::map<std::string, Writer> written;  // per thread: library calls run on many
  if (irun <= 1) written.clear();
  const std::string control = unit_file_name(kControlUnit);
  if (auto it = written.find(report); it != written.end() && it->second.irun < irun) {
    send(kConsoleAndErrorFile, listed("Outputs " + report + " of run " + std::to_string(it->second.irun) + " (" +
                                      it->second.control + ") are written again by run " + std::to_string(irun) +
                                      " (" + control + ")"));
  }
  written[report] = Writer{irun, control};
}

// The sizing's problem, if any, in the batch's words, then the stop; the
// consistency warning and the first count line come first where the
// sizing writes them before it meets the problem.
void stop_on_sizing_problem(const Plan& p) {
  const RunParameters& rp = p.rp;
  switch (p.problem) {
    case SizingProblem::None:
      return;
    case SizingProblem::AboveNyquist: {
      const float nyquist = is_frequency(rp.iunit) ? 0.5f * rp.rate : 0.5f / rp.rate;
      send(kAllOutputs, listed("Upper frequency = ", rp.fu, " > Nyquist freq. ", nyquist), unit_hint(p.spec),
           listed(" Sampling unit ", rp.unitname, " Sampling rate/interval ", rp.rate),
           listed("iunit = ", static_cast<int>(rp.iunit)));
      break;
    }
    case SizingProblem::LastBeyondRows:
      send(kReportAndConsole, listed("IE ", rp.ie, "> N in data file", rp.nrows));
      break;
    case SizingProblem::FrameTooShort:
      send(kAllOutputs, listed("Frame length = ", rp.M, " < 10"), listed("Decrease resolution bandwidth = ", rp.bw));
      break;
    case SizingProblem::TooFewFrames:
      send(kAllOutputs, listed("Frame length > n/4"), listed("Increase resolution bandwidth = ", rp.bw));
      break;
    case SizingProblem::BandTooNarrow:
      send(kAllOutputs, listed("fu-fl is too small. Increase fu-fl"));
      break;
    case SizingProblem::ExponentOutOfBounds:
      send(kAllOutputs, listed("e = ", rp.e, " is out of bound"));
      break;
    case SizingProblem::TooFewTrifrequencies:
      if (rp.e > 0.3333f) write_consistency_warning(rp);
      send(kAllOutputs, listed("Number of trifrequencies to be computed ", static_cast<int>(p.grid.npos + p.grid.nneg), " < 5"),
           listed("Increase the passband"));
      break;
    case SizingProblem::NoPositiveValues:
      if (rp.e > 0.3333f) write_consistency_warning(rp);
      write_positive_count(p.grid.npos);
      send(kAllOutputs, formatted("(/,7X,'ERROR',/)"), formatted("(3X,'Stationary Trispectrum Values for k3 > 0 = ',I1)", 0),
           formatted("(3X,'Increase exponent exp to increase frame',I5)", rp.M));
      break;
    case SizingProblem::TooManyValues:
      if (rp.e > 0.3333f) write_consistency_warning(rp);
      write_positive_count(p.grid.npos);
      write_other_counts(p.grid.nneg, p.grid.npos + p.grid.nneg, p.grid.na);
      send(kAllOutputs, listed("Unable to allocate work space for arrays in top"));
      break;
  }
  stop();
}

// The data file named by the control file, opened on its unit; false when
// it cannot be opened (the run is abandoned, the batch goes on).
bool open_data_file(const std::string& text, int irun, RunSpec& spec) {
  TextField file = charead("ile name", text, "= ");
  if (file.ierr != 0) {
    send(kConsoleAndErrorFile, listed("Error in reading the data file name from %.cnl"),
         listed("Error number for charead = ", file.ierr));
    stop();
  }
  spec.datafile = file.value;
  if (has_control_character(spec.datafile)) {
    send(kConsoleAndErrorFile, listed("Control character in the data file name of run " + std::to_string(irun) +
                                      ", " + unit_file_name(kControlUnit)));
    stop();
  }

  close_unit(kDataUnit);
  if (!file_exists(spec.datafile)) {
    send(kConsoleAndErrorFile, listed("Input file ", spec.datafile, " does not exist"));
    stop();
  }
  if (int status = open_unit(kDataUnit, spec.datafile, OpenStatus::Old); status != 0) {
    send(kConsoleAndErrorFile, listed("**** Error on opening data file ", status), listed(spec.datafile));
    return false;
  }
  if (base_name(spec.datafile).find('.') == std::string::npos) {
    send(kConsoleAndErrorFile, listed("Data file name does not have an extension"), listed(spec.datafile));
    stop();
  }
  return true;
}

// The report and the two value files with their first lines; the run timer
// starts with the report. False when one cannot be opened.
bool open_outputs(const std::string& stem, int irun, float& run_timer) {
  const std::string report = stem + "_Quorvel.out";
  if (!open_output(kReportUnit, report, "**** Error on opening out file ")) return false;
  note_same_outputs(report, irun);
  write_title_line(kReportUnit);
  run_timer = processor_time();
  if (!open_output(kPosUnit, stem + "-k3+_quorvel.out", "**** Error on opening ")) return false;
  write_version_line(kPosUnit);
  if (!open_output(kNegUnit, stem + "-k3-_quorvel.out", "**** Error on opening ")) return false;
  write_version_line(kNegUnit);
  return true;
}

// The column analysed and the sampling unit, then the data file header.
void read_column_and_unit(const std::string& text, RunSpec& spec) {
  IntField column = numread("umber", text, "= ", kNoteUnit);
  spec.icol = column.ierr == 0 ? column.value : 0;
  if (column.ierr != 0 || spec.icol <= 0) {
    send(kAllOutputs, formatted("(7X,'ERROR reading use column number ',I3)", spec.icol));
    stop();
  }

  TextField unit_text = charead("unit", text, "= ");
  if (unit_text.ierr != 0) {
    send(kConsoleAndErrorFile, formatted("(/,' Error in read of sampling unit ',A15)", unit_text.value));
    stop();
  }
  spec.iunit = sampling_unit_of(unit_text.value);
  spec.unitname = unit_text.value.substr(0, 15);

  const DataHeader header = readhead(spec.iunit);
  spec.title = header.title;
  spec.nrows = header.nrows;
  spec.ncols = header.ncols;
  spec.rate = header.rate;
  spec.fmt = header.fmt;
  write_column_line(spec.icol, spec.ncols, kReportUnit);
  if (spec.icol > spec.ncols) {
    send(kAllOutputs, listed("Column number ", spec.icol, " > No. of columns ", spec.ncols));
    stop();
  }
}

// The passband as the control file gives it: frequencies, or for a time
// unit the longest and the shortest period (turned into frequencies later).
struct Periods {
  float longest = 0, shortest = 0;
};

Periods read_passband(const std::string& text, RunSpec& spec) {
  auto band_value = [&](const char* key, const char* missing, const char* missing_console, const char* what) {
    RealField f = rnumread(key, text, "= ", kNoteUnit);
    if (f.ierr == 1) {
      writef(kReportUnit, missing);
      writef(kConsoleUnit, missing_console);
      stop();
    }
    return value_or_stop(f, what);
  };
  Periods periods;
  if (is_frequency(spec.iunit)) {
    spec.fl = band_value("wer freq",
                       "(/,' Type lower frequency rather than longest period f or the passband in %.cnl')",
                       "(/,' Type lower frequency rather than longest period for the passband in %.cnl')",
                       "lower frequency");
    const char* upper = "(/,' Type upper frequency rather than shortest period for the passband in %.cnl')";
    spec.fu = band_value("per freq", upper, upper, "upper frequency");
  } else {
    const char* longest = "(/,' Type longest period rather than lower frequency for the passband in %.cnl')";
    periods.longest = band_value("gest period", longest, longest, "longest period");
    const char* shortest = "(/,' Type shortest period rather than upper frequency for the passband in %.cnl')";
    periods.shortest = band_value("test period", shortest, shortest, "shortest period");
  }
  return periods;
}

void read_taper_and_bandwidth(const std::string& text, RunSpec& spec) {
  spec.taper = value_or_stop(rnumread("taper", text, "= ", kNoteUnit), "taper");

  RealField width = rnumread("idth", text, "= ", kNoteUnit);
  if (width.ierr == 4) {
    writel(kReportUnit, "Place a period in the resolution bandwidth value");
    std::size_t at = text.find("idth") + 4 + 1;
    writel(kReportUnit, text.substr(std::min(at, text.size()), 11));
    stop();
  }
  spec.bw = value_or_stop(width, "resolution bandwidth");
  if (spec.bw <= 0) {
    writel(kReportUnit, "Resolution bandwidth < 0");
    stop();
  }
}

// The AR order of the prewhitening (0 when none is asked for) and its
// p-value threshold.
void read_prewhitening(const std::string& text, RunSpec& spec) {
  spec.iar = 0;
  if (std::size_t k = text.find("rewhite"); k != std::string::npos) {
    std::string window = text.substr(k, 21);
    const char* key = window.find("AR") != std::string::npos   ? "R"
                      : window.find("ar") != std::string::npos ? "r"
                                                               : nullptr;
    if (key) {
      spec.iar = value_or_stop(numread(key, text, "()", kNoteUnit), "AR order");
      if (spec.iar < 0) {
        // A negative order is no prewhitening: a bootstrap of the raw data
        // must not be reported as one of residuals.
        send(kAllOutputs, listed("AR order ", spec.iar, " < 0"));
        stop();
      }
    }
  }
  if (spec.iar > 0) {
    spec.pv = value_or_stop(rnumread("hreshold", text, "= ", kNoteUnit), "p-value threshold");
    if (spec.pv <= 0) {
      send(kReportAndConsole, listed("Prob level pv ", spec.pv, " < 0"),
           listed("Set pv = 0 if you do not want to prewhiten"));
      stop();
    }
    if (spec.pv > 1) {
      send(kReportAndConsole, listed("Prob level pv ", spec.pv, " > 1"));
      stop();
    }
  }
}

// The passband in frequencies (from the periods for a time unit) and the
// taper, checked.
void settle_passband(const Periods& periods, RunSpec& spec) {
  if (spec.iunit == SamplingUnit::Time) set_passband_from_periods(periods.longest, periods.shortest, spec);
  if (spec.fu > 0 && spec.fl > spec.fu) {
    send(kReportAndConsole, listed("Upper frequency of band ", spec.fu, " < lower frequency ", spec.fl), unit_hint(spec));
    stop();
  }
  if (spec.taper < 0 || spec.taper > 25) {
    send(kReportAndConsole, listed("Taper % not in range (0,25) ", spec.taper));
    stop();
  }
}

// The first and the last datum of the run (0: the last row).
void read_data_range(const std::string& text, RunSpec& spec) {
  spec.is = integer_or_stop(text, "start", "start datum", kReportAndConsole);
  spec.ie = integer_or_stop(text, "end", "end datum", kReportAndConsole);
  if (spec.is < 1) {
    send(kReportAndConsole, listed("IS in CNL file is < 1 ", spec.is));
    stop();
  }
  if (spec.ie != 0 && spec.ie < spec.is) {
    send(kReportAndConsole, listed("IE < IS in CNL file ", spec.is, spec.ie));
    stop();
  }
}

// The bootstrap resamples (0: none) and the quantile of the nonlinearity test.
void read_resamples_and_quantile(const std::string& text, RunSpec& spec) {
  spec.nres = bootstrap_resamples(integer_or_stop(text, "sample", "resamples", kAllOutputs), spec.iar);

  spec.quant = value_or_stop(rnumread("ntile", text, "= ", kNoteUnit), "quantile");
  if (spec.quant <= 0 || spec.quant >= 1) {
    send(kAllOutputs, listed("Quantile ", spec.quant, " not in (0,1)"));
    stop();
  }
}

// Every parameter of the run after the data file's name, in the order the
// checks report them.
void read_run_parameters(const std::string& text, RunSpec& spec) {
  read_column_and_unit(text, spec);
  const Periods periods = read_passband(text, spec);
  read_taper_and_bandwidth(text, spec);
  read_prewhitening(text, spec);
  settle_passband(periods, spec);
  read_data_range(text, spec);
  read_resamples_and_quantile(text, spec);
}

}  // namespace

std::string run_output_stem(const std::string& datafile) { return output_stem(datafile); }

bool top(float& run_timer, int /*nruns*/, int irun, RunOutcome* outcome) {
  RunSpec spec;
  const std::string text = read_parameter_text();
  if (!open_data_file(text, irun, spec)) return false;
  if (!open_outputs(output_stem(spec.datafile), irun, run_timer)) return abandon_outputs();
  read_run_parameters(text, spec);
  const Plan sized = plan(spec);
  stop_on_sizing_problem(sized);
  // A run whose tests could not be computed is complete, but the batch
  // does not end as a success.
  const bool computed = run_plan(sized, DataSource{}, run_timer, outcome);
  // The run's outputs go in place now, replacing earlier files of their
  // names whole; a failed write is reported with this run (it stops the
  // program) and not found later at a close.
  for (int unit : kRunFiles) commit_unit(unit);
  return computed;
}

}  // namespace quorvel

#include "input/top.hpp"

#include <algorithm>
#include <cmath>
#include <climits>
#include <map>
#include <string>

#include "common/clock.hpp"
#include "common/record_writer.hpp"
#include "common/run_parameters.hpp"
#include "common/send.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "engine/size.hpp"
#include "input/field_readers.hpp"
#include "input/head.hpp"
#include "input/readhead.hpp"
#include "pipeline/tri.hpp"

namespace quorvel {
namespace {

constexpr std::size_t kLineLength = 80;
constexpr std::size_t kTextLength = 700;
constexpr int kMaxParameterLines = 17;
constexpr std::size_t kMaxFileName = 50;
constexpr int kVersionMonth = 10, kVersionDay = 26, kVersionYear = 2009;

// The nearest whole number, halves away from zero, kept inside the range
// of an integer so that absurd inputs cannot overflow (NaN gives 0).
int nint(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483520.0f) return INT_MAX;
  if (v <= -2147483520.0f) return INT_MIN;
  return static_cast<int>(std::lround(v));
}

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
Records unit_hint(const RunParameters& rp) {
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

// A count for an I9 field (a count beyond it prints as asterisks anyway).
int clamp_count(long long count) { return static_cast<int>(std::min<long long>(count, INT_MAX)); }

// The sizing of the run (frames, band, grid) with its checks and report lines.
void size_run(RunParameters& rp) {
  // The Nyquist check, in cycles per sample for a time-unit run.
  bool beyond = is_frequency(rp.iunit) ? rp.fu > 0.5f * rp.rate : rp.fu * rp.rate > 0.5f;
  if (beyond) {
    float nyquist = is_frequency(rp.iunit) ? 0.5f * rp.rate : 0.5f / rp.rate;
    send(kAllOutputs, listed("Upper frequency = ", rp.fu, " > Nyquist freq. ", nyquist), unit_hint(rp),
         listed(" Sampling unit ", rp.unitname, " Sampling rate/interval ", rp.rate),
         listed("iunit = ", static_cast<int>(rp.iunit)));
    stop();
  }
  float fln, fun;
  if (is_frequency(rp.iunit)) {
    fln = rp.fl / rp.rate;
    fun = rp.fu <= 0 ? 0.5f : rp.fu / rp.rate;
  } else {
    fln = rp.fl * rp.rate;
    fun = rp.fu * rp.rate;
  }

  if (rp.ie > rp.nrows) {
    send(kReportAndConsole, listed("IE ", rp.ie, "> N in data file", rp.nrows));
    stop();
  }
  if (rp.ie == 0) rp.ie = rp.nrows;
  long long n = static_cast<long long>(rp.ie) - rp.is + 1;
  rp.N = static_cast<int>(std::max<long long>(std::min<long long>(n, INT_MAX), INT_MIN));

  float q = rp.iunit == SamplingUnit::Kilohertz ? (rp.rate * 1000.0f) / rp.bw
            : rp.iunit == SamplingUnit::Hertz   ? rp.rate / rp.bw
                                                : rp.bw / rp.rate;
  rp.M = nint(q);
  if (rp.M <= 9) {
    send(kAllOutputs, listed("Frame length = ", rp.M, " < 10"), listed("Decrease resolution bandwidth = ", rp.bw));
    stop();
  }
  if (rp.N / rp.M < 4) {
    send(kAllOutputs, listed("Frame length > n/4"), listed("Increase resolution bandwidth = ", rp.bw));
    stop();
  }
  if (nint(static_cast<float>(rp.M) * rp.taper * 0.005f) < 2) rp.taper = 0;

  rp.lo = std::max(nint(fln * static_cast<float>(rp.M)), 1);
  rp.hi = rp.fu > 0 ? std::min(nint(fun * static_cast<float>(rp.M)), rp.M / 2) : rp.M / 2;
  if (rp.lo == rp.hi) {
    send(kAllOutputs, listed("fu-fl is too small. Increase fu-fl"));
    stop();
  }

  rp.e = logf(static_cast<float>(rp.M)) / logf(static_cast<float>(rp.N));
  if (rp.e <= 0.01f || rp.e >= 0.99f) {
    send(kAllOutputs, listed("e = ", rp.e, " is out of bound"));
    stop();
  }
  if (rp.e > 0.3333f) {
    send(kReportAndConsole, formatted("(/,2X,'Condition for Consistency of Estimates is Violated - e =',F7.5)", rp.e),
         formatted("(7X,'Resolution Bandwidth = ',F10.2)", rp.bw));
  }

  GridCounts grid = size(rp.lo, rp.hi, rp.M);
  long long stationary = static_cast<long long>(grid.npos) + grid.nneg;
  if (stationary <= 5) {
    send(kAllOutputs, listed("Number of trifrequencies to be computed ", static_cast<int>(stationary), " < 5"),
         listed("Increase the passband"));
    stop();
  }
  writef(kReportUnit, "(/,3X,'Stationary Trispectrum Values for k3 > 0 = ',I9)", clamp_count(grid.npos));
  if (grid.npos == 0) {
    send(kAllOutputs, formatted("(/,7X,'ERROR',/)"), formatted("(3X,'Stationary Trispectrum Values for k3 > 0 = ',I1)", 0),
         formatted("(3X,'Increase exponent exp to increase frame',I5)", rp.M));
    stop();
  }
  writef(kReportUnit, "(3X,'Stationary Trispectrum Values for k3 < 0 = ',I9)", clamp_count(grid.nneg));
  writef(kReportUnit, "(3X,'Total  Number of Values = ',I9)", clamp_count(stationary));
  writef(kReportUnit, "(3X,'Aliasing Trispectrum Values = ',I9,/)", clamp_count(grid.na));

  rp.ne = rp.hi - rp.lo + 1;
  if (stationary + grid.na > INT_MAX) {
    send(kAllOutputs, listed("Unable to allocate work space for arrays in top"));
    stop();
  }
  rp.npos = static_cast<int>(grid.npos);
  rp.nneg = static_cast<int>(grid.nneg);
  rp.na = static_cast<int>(grid.na);
  rp.ntr = rp.npos + rp.nneg + rp.na;
  rp.k3pos = static_cast<int>(grid.k3pos);
  rp.k3neg = static_cast<int>(grid.k3neg);
}

// The data file named by the control file, opened on its unit; false when
// it cannot be opened (the run is abandoned, the batch goes on).
bool open_data_file(const std::string& text, int irun, RunParameters& rp) {
  TextField file = charead("ile name", text, "= ");
  if (file.ierr != 0) {
    send(kConsoleAndErrorFile, listed("Error in reading the data file name from %.cnl"),
         listed("Error number for charead = ", file.ierr));
    stop();
  }
  rp.datafile = file.value;
  if (has_control_character(rp.datafile)) {
    send(kConsoleAndErrorFile, listed("Control character in the data file name of run " + std::to_string(irun) +
                                      ", " + unit_file_name(kControlUnit)));
    stop();
  }

  close_unit(kDataUnit);
  if (!file_exists(rp.datafile)) {
    send(kConsoleAndErrorFile, listed("Input file ", rp.datafile, " does not exist"));
    stop();
  }
  if (int status = open_unit(kDataUnit, rp.datafile, OpenStatus::Old); status != 0) {
    send(kConsoleAndErrorFile, listed("**** Error on opening data file ", status), listed(rp.datafile));
    return false;
  }
  if (base_name(rp.datafile).find('.') == std::string::npos) {
    send(kConsoleAndErrorFile, listed("Data file name does not have an extension"), listed(rp.datafile));
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
  writef(kReportUnit, "(11X,' Trispectrum Statistics by Quorvel')");
  run_timer = processor_time();
  const std::string version_line = "(' Version ',I2,'-',I2,'-',I4,7X,'Run ',A24)";
  if (!open_output(kPosUnit, stem + "-k3+_quorvel.out", "**** Error on opening ")) return false;
  writef(kPosUnit, version_line, kVersionMonth, kVersionDay, kVersionYear, date_time_24());
  if (!open_output(kNegUnit, stem + "-k3-_quorvel.out", "**** Error on opening ")) return false;
  writef(kNegUnit, version_line, kVersionMonth, kVersionDay, kVersionYear, date_time_24());
  return true;
}

// The column analysed and the sampling unit, then the data file header.
void read_column_and_unit(const std::string& text, RunParameters& rp) {
  IntField column = numread("umber", text, "= ", kNoteUnit);
  rp.icol = column.ierr == 0 ? column.value : 0;
  if (column.ierr != 0 || rp.icol <= 0) {
    send(kAllOutputs, formatted("(7X,'ERROR reading use column number ',I3)", rp.icol));
    stop();
  }

  TextField unit_text = charead("unit", text, "= ");
  if (unit_text.ierr != 0) {
    send(kConsoleAndErrorFile, formatted("(/,' Error in read of sampling unit ',A15)", unit_text.value));
    stop();
  }
  rp.iunit = sampling_unit_of(unit_text.value);
  rp.unitname = unit_text.value.substr(0, 15);

  readhead(rp);
  writef(kReportUnit, "(/,7X,'Column Number Used = ',I3,2X,'No. of Columns = ',I3)", rp.icol, rp.ncols);
  if (rp.icol > rp.ncols) {
    send(kAllOutputs, listed("Column number ", rp.icol, " > No. of columns ", rp.ncols));
    stop();
  }
}

// The passband as the control file gives it: frequencies, or for a time
// unit the longest and the shortest period (turned into frequencies later).
struct Periods {
  float longest = 0, shortest = 0;
};

Periods read_passband(const std::string& text, RunParameters& rp) {
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
  if (is_frequency(rp.iunit)) {
    rp.fl = band_value("wer freq",
                       "(/,' Type lower frequency rather than longest period f or the passband in %.cnl')",
                       "(/,' Type lower frequency rather than longest period for the passband in %.cnl')",
                       "lower frequency");
    const char* upper = "(/,' Type upper frequency rather than shortest period for the passband in %.cnl')";
    rp.fu = band_value("per freq", upper, upper, "upper frequency");
  } else {
    const char* longest = "(/,' Type longest period rather than lower frequency for the passband in %.cnl')";
    periods.longest = band_value("gest period", longest, longest, "longest period");
    const char* shortest = "(/,' Type shortest period rather than upper frequency for the passband in %.cnl')";
    periods.shortest = band_value("test period", shortest, shortest, "shortest period");
  }
  return periods;
}

void read_taper_and_bandwidth(const std::string& text, RunParameters& rp) {
  rp.taper = value_or_stop(rnumread("taper", text, "= ", kNoteUnit), "taper");

  RealField width = rnumread("idth", text, "= ", kNoteUnit);
  if (width.ierr == 4) {
    writel(kReportUnit, "Place a period in the resolution bandwidth value");
    std::size_t at = text.find("idth") + 4 + 1;
    writel(kReportUnit, text.substr(std::min(at, text.size()), 11));
    stop();
  }
  rp.bw = value_or_stop(width, "resolution bandwidth");
  if (rp.bw <= 0) {
    writel(kReportUnit, "Resolution bandwidth < 0");
    stop();
  }
}

// The AR order of the prewhitening (0 when none is asked for) and its
// p-value threshold.
void read_prewhitening(const std::string& text, RunParameters& rp) {
  rp.iar = 0;
  if (std::size_t k = text.find("rewhite"); k != std::string::npos) {
    std::string window = text.substr(k, 21);
    const char* key = window.find("AR") != std::string::npos   ? "R"
                      : window.find("ar") != std::string::npos ? "r"
                                                               : nullptr;
    if (key) {
      rp.iar = value_or_stop(numread(key, text, "()", kNoteUnit), "AR order");
      if (rp.iar < 0) {
        // A negative order is no prewhitening: a bootstrap of the raw data
        // must not be reported as one of residuals.
        send(kAllOutputs, listed("AR order ", rp.iar, " < 0"));
        stop();
      }
    }
  }
  if (rp.iar > 0) {
    rp.pv = value_or_stop(rnumread("hreshold", text, "= ", kNoteUnit), "p-value threshold");
    if (rp.pv <= 0) {
      send(kReportAndConsole, listed("Prob level pv ", rp.pv, " < 0"),
           listed("Set pv = 0 if you do not want to prewhiten"));
      stop();
    }
    if (rp.pv > 1) {
      send(kReportAndConsole, listed("Prob level pv ", rp.pv, " > 1"));
      stop();
    }
  }
}

// The passband in frequencies (from the periods for a time unit) and the
// taper, checked.
void settle_passband(const Periods& periods, RunParameters& rp) {
  if (rp.iunit == SamplingUnit::Time) {
    const float pl = periods.longest <= 0 ? 1000000.0f : periods.longest;
    rp.fl = 1.0f / pl;
    rp.fu = periods.shortest <= 0 ? 0.5f / rp.rate : 1.0f / periods.shortest;
  }
  if (rp.fu > 0 && rp.fl > rp.fu) {
    send(kReportAndConsole, listed("Upper frequency of band ", rp.fu, " < lower frequency ", rp.fl), unit_hint(rp));
    stop();
  }
  if (rp.taper < 0 || rp.taper > 25) {
    send(kReportAndConsole, listed("Taper % not in range (0,25) ", rp.taper));
    stop();
  }
}

// The first and the last datum of the run (0: the last row).
void read_data_range(const std::string& text, RunParameters& rp) {
  rp.is = integer_or_stop(text, "start", "start datum", kReportAndConsole);
  rp.ie = integer_or_stop(text, "end", "end datum", kReportAndConsole);
  if (rp.is < 1) {
    send(kReportAndConsole, listed("IS in CNL file is < 1 ", rp.is));
    stop();
  }
  if (rp.ie != 0 && rp.ie < rp.is) {
    send(kReportAndConsole, listed("IE < IS in CNL file ", rp.is, rp.ie));
    stop();
  }
}

// The bootstrap resamples (0: none) and the quantile of the nonlinearity test.
void read_resamples_and_quantile(const std::string& text, RunParameters& rp) {
  rp.nres = integer_or_stop(text, "sample", "resamples", kAllOutputs);
  if (rp.nres > 0 && rp.nres < 11) {
    writef(kReportUnit,
           "(/,2X,'Bootstrap is turned off if the number of resampl s is less than 11',/,' Resamples = ',I2)",
           rp.nres);
    send(kConsoleAndErrorFile,
         formatted("(/,2X,'Bootstrap is turned off if the number of resamples is less than 11',/,' Resamples = ',I2)",
                   rp.nres));
    rp.nres = 0;
  }
  if (rp.iar == 0 && rp.nres > 0) {
    // The resamples shuffle the AR residuals: without them there is no bootstrap, and the user is told.
    send(kAllOutputs, formatted("(/,2X,'Bootstrap is turned off without AR prewhitening',/,' Resamples = ',I7)", rp.nres));
  }
  if (rp.iar == 0) rp.nres = 0;

  rp.quant = value_or_stop(rnumread("ntile", text, "= ", kNoteUnit), "quantile");
  if (rp.quant <= 0 || rp.quant >= 1) {
    send(kAllOutputs, listed("Quantile ", rp.quant, " not in (0,1)"));
    stop();
  }
}

// Every parameter of the run after the data file's name, in the order the
// checks report them.
void read_run_parameters(const std::string& text, RunParameters& rp) {
  read_column_and_unit(text, rp);
  const Periods periods = read_passband(text, rp);
  read_taper_and_bandwidth(text, rp);
  read_prewhitening(text, rp);
  settle_passband(periods, rp);
  read_data_range(text, rp);
  read_resamples_and_quantile(text, rp);
}

// The run itself: its work arrays, the pipeline, the closing banner; the
// outputs then go in place. False when the tests could not be computed.
bool run(const RunParameters& rp, float run_timer, RunOutcome* outcome) {
  RunArrays arrays;
  if (!allocate_run_arrays(arrays, rp)) {
    send(kAllOutputs, listed("Unable to allocate work space for arrays in top"));
    stop();
  }
  const bool computed = tri(rp, arrays, outcome);
  if (outcome) {
    outcome->rp = rp;
    outcome->arrays = std::move(arrays);
  }
  head(kVersionMonth, kVersionDay, kVersionYear, run_timer, kReportUnit);
  // The run's outputs go in place now, replacing earlier files of their
  // names whole; a failed write is reported with this run (it stops the
  // program) and not found later at a close.
  for (int unit : kRunFiles) commit_unit(unit);
  return computed;
}

}  // namespace

std::string run_output_stem(const std::string& datafile) { return output_stem(datafile); }

bool top(float& run_timer, int /*nruns*/, int irun, RunOutcome* outcome) {
  RunParameters rp;
  const std::string text = read_parameter_text();
  if (!open_data_file(text, irun, rp)) return false;
  if (!open_outputs(output_stem(rp.datafile), irun, run_timer)) return abandon_outputs();
  read_run_parameters(text, rp);
  size_run(rp);
  // A run whose tests could not be computed is complete, but the batch
  // does not end as a success.
  return run(rp, run_timer, outcome);
}

}  // namespace quorvel

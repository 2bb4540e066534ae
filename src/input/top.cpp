#include "input/top.hpp"

#include <algorithm>
#include <cmath>
#include <climits>
#include <map>
#include <string>

#include "common/clock.hpp"
#include "common/record_writer.hpp"
#include "common/run_parameters.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "engine/size.hpp"
#include "engine/tri.hpp"
#include "input/field_readers.hpp"
#include "input/head.hpp"
#include "input/readhead.hpp"

namespace quorvel {
namespace {

constexpr std::size_t kLineLength = 80;
constexpr std::size_t kTextLength = 700;
constexpr int kMaxParameterLines = 17;
constexpr std::size_t kMaxFileName = 50;
constexpr int kVersionMonth = 10, kVersionDay = 26, kVersionYear = 2009;

constexpr std::initializer_list<int> kAll = {kReportUnit, kConsoleUnit, kErrorUnit};
constexpr std::initializer_list<int> kReportConsole = {kReportUnit, kConsoleUnit};
constexpr std::initializer_list<int> kConsoleError = {kConsoleUnit, kErrorUnit};

void to(std::initializer_list<int> units, const Items& items) {
  for (int unit : units) write_list(unit, items);
}

void to_f(std::initializer_list<int> units, std::string_view format, const Items& items = {}) {
  for (int unit : units) write_formatted(unit, format, items);
}

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

const char* unit_hint(int iunit) {
  return iunit == 1 ? "Check to see the (fl,fu) units are kHz"
         : iunit == 2 ? "Check to see the (fl,fu) units are Hz"
                      : "Check to see the (fl,fu) units are ";
}

void write_unit_hint(std::initializer_list<int> units, const RunParameters& rp) {
  if (rp.iunit == 1 || rp.iunit == 2) {
    to(units, {unit_hint(rp.iunit)});
  } else {
    to(units, {unit_hint(rp.iunit), rp.unitname});
  }
}

// Step 1: the parameter text, joined from the parameter segments of at
// most 17 lines, up to the "#" line.
std::string read_parameter_text() {
  std::string text;
  std::string line;
  for (int i = 0; i < kMaxParameterLines; ++i) {
    if (read_fixed(kControlUnit, kLineLength, line) != 0) {
      to(kConsoleError, {"End of file on cnl file before the # line"});
      stop();
    }
    if (line.find('#') != std::string::npos) break;
    std::size_t star = line.find('*');
    if (star == std::string::npos) {
      to(kConsoleError, {"Place comment marker * after parameters on map.cnl"});
      to_f(kConsoleError, "(A70)", {line});
      stop();
    }
    text += line.substr(0, star);
    if (text.size() > kTextLength) {
      to(kConsoleError, {"Parameters of cnl file exceed 700 characters"});
      stop();
    }
  }
  text.resize(kTextLength, ' ');
  return text;
}

// A reader error that the sequence examines no further: a message and a stop.
void check_read(int ierr, const char* what) {
  if (ierr != 0) {
    to(kAll, {"Error ", ierr, std::string(" in read of ") + what});
    stop();
  }
}

std::string padded_key(const char* key) {
  std::string k(key);
  k.resize(20, ' ');
  return k;
}

// Opens an output file of the run under a temporary name (it replaces the
// file of its name when the run ends) and reports a failure; names longer
// than the 50-character name field are refused rather than cut, and so is
// a path that is no regular file or one of the inputs.
bool open_output(int unit, const std::string& name, const char* message) {
  int status = name.size() > kMaxFileName ? kNameTooLong : open_unit(unit, name, OpenStatus::Staged);
  if (status != 0) {
    to(kConsoleError, {message, name, " ", status});
    if (status == kNotARegularFile || status == kSameAsAnInput) to(kConsoleError, {refusal_reason()});
    return false;
  }
  return true;
}

// An abandoned run leaves no outputs of its own: earlier files of the names
// stay as they were.
bool abandon_outputs() {
  for (int unit : {kReportUnit, kPosUnit, kNegUnit}) discard_unit(unit);
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
    to(kConsoleError, {"Outputs " + report + " of run " + std::to_string(it->second.irun) + " (" +
                       it->second.control + ") are written again by run " + std::to_string(irun) + " (" +
                       control + ")"});
  }
  written[report] = Writer{irun, control};
}

// A count for an I9 field (a count beyond it prints as asterisks anyway).
int clamp_count(long long count) { return static_cast<int>(std::min<long long>(count, INT_MAX)); }

// The sizing of the run (frames, band, grid) with its checks and report lines.
void size_run(RunParameters& rp) {
  // The Nyquist check, in cycles per sample for a time-unit run.
  bool beyond = rp.iunit >= 1 ? rp.fu > 0.5f * rp.rate : rp.fu * rp.rate > 0.5f;
  if (beyond) {
    float nyquist = rp.iunit >= 1 ? 0.5f * rp.rate : 0.5f / rp.rate;
    to(kAll, {"Upper frequency = ", rp.fu, " > Nyquist freq. ", nyquist});
    write_unit_hint(kAll, rp);
    for (int unit : kAll) {
      writel(unit, " Sampling unit ", rp.unitname, " Sampling rate/interval ", rp.rate);
      writel(unit, "iunit = ", rp.iunit);
    }
    stop();
  }
  float fln, fun;
  if (rp.iunit >= 1) {
    fln = rp.fl / rp.rate;
    fun = rp.fu <= 0 ? 0.5f : rp.fu / rp.rate;
  } else {
    fln = rp.fl * rp.rate;
    fun = rp.fu * rp.rate;
  }

  if (rp.ie > rp.nrows) {
    to(kReportConsole, {"IE ", rp.ie, "> N in data file", rp.nrows});
    stop();
  }
  if (rp.ie == 0) rp.ie = rp.nrows;
  long long n = static_cast<long long>(rp.ie) - rp.is + 1;
  rp.N = static_cast<int>(std::max<long long>(std::min<long long>(n, INT_MAX), INT_MIN));

  float q = rp.iunit == 1 ? (rp.rate * 1000.0f) / rp.bw : rp.iunit == 2 ? rp.rate / rp.bw : rp.bw / rp.rate;
  rp.M = nint(q);
  if (rp.M <= 9) {
    to(kAll, {"Frame length = ", rp.M, " < 10"});
    to(kAll, {"Decrease resolution bandwidth = ", rp.bw});
    stop();
  }
  if (rp.N / rp.M < 4) {
    to(kAll, {"Frame length > n/4"});
    to(kAll, {"Increase resolution bandwidth = ", rp.bw});
    stop();
  }
  if (nint(static_cast<float>(rp.M) * rp.taper * 0.005f) < 2) rp.taper = 0;

  rp.lo = std::max(nint(fln * static_cast<float>(rp.M)), 1);
  rp.hi = rp.fu > 0 ? std::min(nint(fun * static_cast<float>(rp.M)), rp.M / 2) : rp.M / 2;
  if (rp.lo == rp.hi) {
    to(kAll, {"fu-fl is too small. Increase fu-fl"});
    stop();
  }

  rp.e = logf(static_cast<float>(rp.M)) / logf(static_cast<float>(rp.N));
  if (rp.e <= 0.01f || rp.e >= 0.99f) {
    to(kAll, {"e = ", rp.e, " is out of bound"});
    stop();
  }
  if (rp.e > 0.3333f) {
    to_f(kReportConsole, "(/,2X,'Condition for Consistency of Estimates is Violated - e =',F7.5)", {rp.e});
    to_f(kReportConsole, "(7X,'Resolution Bandwidth = ',F10.2)", {rp.bw});
  }

  GridCounts grid = size(rp.lo, rp.hi, rp.M);
  long long stationary = static_cast<long long>(grid.npos) + grid.nneg;
  if (stationary <= 5) {
    to(kAll, {"Number of trifrequencies to be computed ", static_cast<int>(stationary), " < 5"});
    to(kAll, {"Increase the passband"});
    stop();
  }
  writef(kReportUnit, "(/,3X,'Stationary Trispectrum Values for k3 > 0 = ',I9)", clamp_count(grid.npos));
  if (grid.npos == 0) {
    for (int unit : kAll) {
      writef(unit, "(/,7X,'ERROR',/)");
      writef(unit, "(3X,'Stationary Trispectrum Values for k3 > 0 = ',I1)", 0);
      writef(unit, "(3X,'Increase exponent exp to increase frame',I5)", rp.M);
    }
    stop();
  }
  writef(kReportUnit, "(3X,'Stationary Trispectrum Values for k3 < 0 = ',I9)", clamp_count(grid.nneg));
  writef(kReportUnit, "(3X,'Total  Number of Values = ',I9)", clamp_count(stationary));
  writef(kReportUnit, "(3X,'Aliasing Trispectrum Values = ',I9,/)", clamp_count(grid.na));

  rp.ne = rp.hi - rp.lo + 1;
  if (stationary + grid.na > INT_MAX) {
    to(kAll, {"Unable to allocate work space for arrays in top"});
    stop();
  }
  rp.npos = static_cast<int>(grid.npos);
  rp.nneg = static_cast<int>(grid.nneg);
  rp.na = static_cast<int>(grid.na);
  rp.ntr = rp.npos + rp.nneg + rp.na;
  rp.k3pos = static_cast<int>(grid.k3pos);
  rp.k3neg = static_cast<int>(grid.k3neg);
}

}  // namespace

std::string run_output_stem(const std::string& datafile) { return output_stem(datafile); }

bool top(float& run_timer, int /*nruns*/, int irun, RunOutcome* outcome) {
  RunParameters rp;
  const std::string text = read_parameter_text();

  TextField file = charead("ile name", text, "= ");
  if (file.ierr != 0) {
    to(kConsoleError, {"Error in reading the data file name from %.cnl"});
    to(kConsoleError, {"Error number for charead = ", file.ierr});
    stop();
  }
  rp.datafile = file.value;
  if (has_control_character(rp.datafile)) {
    to(kConsoleError, {"Control character in the data file name of run " + std::to_string(irun) + ", " +
                       unit_file_name(kControlUnit)});
    stop();
  }

  close_unit(kDataUnit);
  if (!file_exists(rp.datafile)) {
    to(kConsoleError, {"Input file ", rp.datafile, " does not exist"});
    stop();
  }
  if (int status = open_unit(kDataUnit, rp.datafile, OpenStatus::Old); status != 0) {
    for (int unit : kConsoleError) {
      writel(unit, "**** Error on opening data file ", status);
      writel(unit, rp.datafile);
    }
    return false;
  }
  if (base_name(rp.datafile).find('.') == std::string::npos) {
    to(kConsoleError, {"Data file name does not have an extension"});
    to(kConsoleError, {rp.datafile});
    stop();
  }
  const std::string stem = output_stem(rp.datafile);

  // The output files and their first lines.
  const std::string report = stem + "_Quorvel.out";
  if (!open_output(kReportUnit, report, "**** Error on opening out file ")) return abandon_outputs();
  note_same_outputs(report, irun);
  writef(kReportUnit, "(11X,' Trispectrum Statistics by Quorvel')");
  run_timer = processor_time();
  const std::string version_line = "(' Version ',I2,'-',I2,'-',I4,7X,'Run ',A24)";
  if (!open_output(kPosUnit, stem + "-k3+_quorvel.out", "**** Error on opening ")) return abandon_outputs();
  writef(kPosUnit, version_line, kVersionMonth, kVersionDay, kVersionYear, date_time_24());
  if (!open_output(kNegUnit, stem + "-k3-_quorvel.out", "**** Error on opening ")) return abandon_outputs();
  writef(kNegUnit, version_line, kVersionMonth, kVersionDay, kVersionYear, date_time_24());

  IntField column = numread("umber", text, "= ", kNoteUnit);
  rp.icol = column.ierr == 0 ? column.value : 0;
  if (column.ierr != 0 || rp.icol <= 0) {
    to_f(kAll, "(7X,'ERROR reading use column number ',I3)", {rp.icol});
    stop();
  }

  TextField unit_text = charead("unit", text, "= ");
  if (unit_text.ierr != 0) {
    to_f(kConsoleError, "(/,' Error in read of sampling unit ',A15)", {unit_text.value});
    stop();
  }
  const std::string& u = unit_text.value;
  auto has = [&u](const char* s) { return u.find(s) != std::string::npos; };
  rp.iunit = has("kHz") || has("khz") ? 1 : has("Hz") || has("hz") ? 2 : 0;
  rp.unitname = u.substr(0, 15);

  readhead(rp);
  writef(kReportUnit, "(/,7X,'Column Number Used = ',I3,2X,'No. of Columns = ',I3)", rp.icol, rp.ncols);
  if (rp.icol > rp.ncols) {
    to(kAll, {"Column number ", rp.icol, " > No. of columns ", rp.ncols});
    stop();
  }

  // The passband, as frequencies or as periods.
  auto band_value = [&](const char* key, const char* missing, const char* missing_console, const char* what) {
    RealField f = rnumread(key, text, "= ", kNoteUnit);
    if (f.ierr == 1) {
      writef(kReportUnit, missing);
      writef(kConsoleUnit, missing_console);
      stop();
    }
    check_read(f.ierr, what);
    return f.value;
  };
  float pl = 0, ps = 0;
  if (rp.iunit >= 1) {
    rp.fl = band_value("wer freq",
                       "(/,' Type lower frequency rather than longest period f or the passband in %.cnl')",
                       "(/,' Type lower frequency rather than longest period for the passband in %.cnl')",
                       "lower frequency");
    const char* upper = "(/,' Type upper frequency rather than shortest period for the passband in %.cnl')";
    rp.fu = band_value("per freq", upper, upper, "upper frequency");
  } else {
    const char* longest = "(/,' Type longest period rather than lower frequency for the passband in %.cnl')";
    pl = band_value("gest period", longest, longest, "longest period");
    const char* shortest = "(/,' Type shortest period rather than upper frequency for the passband in %.cnl')";
    ps = band_value("test period", shortest, shortest, "shortest period");
  }

  RealField taper = rnumread("taper", text, "= ", kNoteUnit);
  check_read(taper.ierr, "taper");
  rp.taper = taper.value;

  RealField width = rnumread("idth", text, "= ", kNoteUnit);
  if (width.ierr == 4) {
    writel(kReportUnit, "Place a period in the resolution bandwidth value");
    std::size_t at = text.find("idth") + 4 + 1;
    writel(kReportUnit, text.substr(std::min(at, text.size()), 11));
    stop();
  }
  check_read(width.ierr, "resolution bandwidth");
  rp.bw = width.value;
  if (rp.bw <= 0) {
    writel(kReportUnit, "Resolution bandwidth < 0");
    stop();
  }

  rp.iar = 0;
  if (std::size_t k = text.find("rewhite"); k != std::string::npos) {
    std::string window = text.substr(k, 21);
    const char* key = window.find("AR") != std::string::npos   ? "R"
                      : window.find("ar") != std::string::npos ? "r"
                                                               : nullptr;
    if (key) {
      IntField order = numread(key, text, "()", kNoteUnit);
      check_read(order.ierr, "AR order");
      rp.iar = order.value;
      if (rp.iar < 0) {
        // A negative order is no prewhitening: a bootstrap of the raw data
        // must not be reported as one of residuals.
        to(kAll, {"AR order ", rp.iar, " < 0"});
        stop();
      }
    }
  }
  if (rp.iar > 0) {
    RealField pv = rnumread("hreshold", text, "= ", kNoteUnit);
    check_read(pv.ierr, "p-value threshold");
    rp.pv = pv.value;
    if (rp.pv <= 0) {
      to(kReportConsole, {"Prob level pv ", rp.pv, " < 0"});
      to(kReportConsole, {"Set pv = 0 if you do not want to prewhiten"});
      stop();
    }
    if (rp.pv > 1) {
      to(kReportConsole, {"Prob level pv ", rp.pv, " > 1"});
      stop();
    }
  }

  if (rp.iunit == 0) {
    if (pl <= 0) pl = 1000000.0f;
    rp.fl = 1.0f / pl;
    rp.fu = ps <= 0 ? 0.5f / rp.rate : 1.0f / ps;
  }
  if (rp.fu > 0 && rp.fl > rp.fu) {
    to(kReportConsole, {"Upper frequency of band ", rp.fu, " < lower frequency ", rp.fl});
    write_unit_hint(kReportConsole, rp);
    stop();
  }
  if (rp.taper < 0 || rp.taper > 25) {
    to(kReportConsole, {"Taper % not in range (0,25) ", rp.taper});
    stop();
  }

  IntField start = numread("start", text, "= ", kNoteUnit);
  if (start.ierr != 0) {
    to(kReportConsole, {"Error ", start.ierr, " in read of start datum"});
    to(kReportConsole, {padded_key("start")});
    stop();
  }
  rp.is = start.value;
  IntField end = numread("end", text, "= ", kNoteUnit);
  if (end.ierr != 0) {
    to(kReportConsole, {"Error ", end.ierr, " in read of end datum"});
    to(kReportConsole, {padded_key("end")});
    stop();
  }
  rp.ie = end.value;
  if (rp.is < 1) {
    to(kReportConsole, {"IS in CNL file is < 1 ", rp.is});
    stop();
  }
  if (rp.ie != 0 && rp.ie < rp.is) {
    to(kReportConsole, {"IE < IS in CNL file ", rp.is, rp.ie});
    stop();
  }

  IntField resamples = numread("sample", text, "= ", kNoteUnit);
  if (resamples.ierr != 0) {
    to(kAll, {"Error ", resamples.ierr, " in read of resamples"});
    to(kAll, {padded_key("sample")});
    stop();
  }
  rp.nres = resamples.value;
  if (rp.nres > 0 && rp.nres < 11) {
    writef(kReportUnit,
           "(/,2X,'Bootstrap is turned off if the number of resampl s is less than 11',/,' Resamples = ',I2)",
           rp.nres);
    to_f(kConsoleError,
         "(/,2X,'Bootstrap is turned off if the number of resamples is less than 11',/,' Resamples = ',I2)",
         {rp.nres});
    rp.nres = 0;
  }
  if (rp.iar == 0 && rp.nres > 0) {
    // The resamples shuffle the AR residuals: without them there is no bootstrap, and the user is told.
    to_f(kAll, "(/,2X,'Bootstrap is turned off without AR prewhitening',/,' Resamples = ',I7)", {rp.nres});
  }
  if (rp.iar == 0) rp.nres = 0;

  RealField quantile = rnumread("ntile", text, "= ", kNoteUnit);
  check_read(quantile.ierr, "quantile");
  rp.quant = quantile.value;
  if (rp.quant <= 0 || rp.quant >= 1) {
    to(kAll, {"Quantile ", rp.quant, " not in (0,1)"});
    stop();
  }

  size_run(rp);
  RunArrays arrays;
  if (!allocate_run_arrays(arrays, rp)) {
    to(kAll, {"Unable to allocate work space for arrays in top"});
    stop();
  }
  // A run whose tests could not be computed is complete, but the batch
  // does not end as a success.
  const bool computed = tri(rp, arrays, outcome);
  if (outcome) {
    outcome->rp = rp;
    outcome->arrays = std::move(arrays);
  }
  head(kVersionMonth, kVersionDay, kVersionYear, run_timer, kReportUnit);
  // The run's outputs go in place now, replacing earlier files of their
  // names whole; a failed write is reported with this run (it stops the
  // program) and not found later at a close.
  for (int unit : {kReportUnit, kPosUnit, kNegUnit}) commit_unit(unit);
  return computed;
}

}  // namespace quorvel

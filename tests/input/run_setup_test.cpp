// The run routine from the control file to the sizing: every failure of the
// control file, the data header and the set-up ends with its exact lines
// on exactly its destinations, and the program then ends or the batch goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

using Lines = std::vector<std::string>;

std::string data_file(int rows, const std::string& header_tail = "rate = 1000.0 unit=Hz format =(2f10.3)") {
  std::string s = "A test series\nrows = " + std::to_string(rows) + " columns = 2 " + header_tail + "\n";
  for (int i = 0; i < rows; ++i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%10.3f%10.3f\n", (i * 7919 % 1000) / 100.0 - 5.0, i * 0.001);
    s += buf;
  }
  return s;
}

// A control file by keys, in the usual order; a value of "" leaves the line out.
struct Control {
  std::map<std::string, std::string> lines{
      {"01", "Data file name =d.dat * data"},
      {"02", "Column number = 1 *"},
      {"03", "Sampling unit =Hz *"},
      {"04", "Lower freq = 0.0 *"},
      {"05", "Upper freq = 0.0 *"},
      {"06", "% taper = 0.0 *"},
      {"07", "Resolution bandwidth = 62.5 *"},
      {"08", "No whitening *"},
      {"09", ""},
      {"10", "start = 1 *"},
      {"11", "end = 0 *"},
      {"12", "Resamples = 0 *"},
      {"13", "Quantile = 0.8 *"},
  };
  std::string text() const {
    std::string s;
    for (const auto& [k, v] : lines)
      if (!v.empty()) s += v + "\n";
    return s + "#\n";
  }
};

struct Outcome {
  ProgramRun run;
  Lines report, console, error;
};

Outcome run_one(const Control& c, const std::string& data = data_file(512)) {
  TempDir dir;
  dir.write("Runquorvel.cnl", "Runs = 1 *\nrun.cnl *\n");
  dir.write("run.cnl", c.text());
  dir.write("d.dat", data);
  Outcome o;
  o.run = dir.run();
  o.report = squeezed_lines(dir.read("d_Quorvel.out"));
  o.console = squeezed_lines(o.run.out);
  o.error = squeezed_lines(dir.read("Quorvel-error.out"));
  return o;
}

bool ends_with(const Lines& lines, const Lines& tail) {
  return lines.size() >= tail.size() && std::equal(tail.begin(), tail.end(), lines.end() - tail.size());
}

#define EXPECT_TAIL(lines, ...) EXPECT_TRUE(ends_with(lines, Lines{__VA_ARGS__})) << ::testing::PrintToString(lines)

struct StopCase {
  const char* name;
  std::map<std::string, std::string> changes;
  Lines report_tail, console_tail, error_tail;
};

TEST(RunSetup, ControlFileStops) {
  const StopCase cases[] = {
      {"column zero", {{"02", "Column number = 0 *"}},
       {"ERROR reading use column number 0"}, {"ERROR reading use column number 0"},
       {"ERROR reading use column number 0"}},
      {"column beyond the table", {{"02", "Column number = 3 *"}},
       {"Column number 3 > No. of columns 2"}, {"Column number 3 > No. of columns 2"},
       {"Column number 3 > No. of columns 2"}},
      {"lower frequency missing", {{"04", "Lowest f = 0.0 *"}},
       {"", "Type lower frequency rather than longest period f or the passband in %.cnl"},
       {"", "Type lower frequency rather than longest period for the passband in %.cnl"}, {}},
      {"capital unit is a time unit", {{"03", "Sampling unit =KHZ *"}},
       {"Error in reading the sampling interval of the data", "Error number for rnumread = 1"},
       {"Error in reading the sampling interval of the data", "Error number for rnumread = 1"}, {}},
      {"bandwidth without point", {{"07", ""}, {"14", "Resolution bandwidth = 62 *"}},
       {"Place a period in the resolution bandwidth value", "= 62"}, {}, {}},
      {"bandwidth without point, a later point", {{"07", "Resolution bandwidth = 62 *"}},
       {"Error 5 in read of resolution bandwidth"}, {"Error 5 in read of resolution bandwidth"},
       {"Error 5 in read of resolution bandwidth"}},
      {"bandwidth zero", {{"07", "Resolution bandwidth = 0.0 *"}}, {"Resolution bandwidth < 0"}, {}, {}},
      {"bandwidth missing", {{"07", "Resolution band = 62.5 *"}},
       {"Error 1 in read of resolution bandwidth"}, {"Error 1 in read of resolution bandwidth"},
       {"Error 1 in read of resolution bandwidth"}},
      {"taper out of range", {{"06", "% taper = 25.5 *"}},
       {"Taper % not in range (0,25) 25.5"}, {"Taper % not in range (0,25) 25.5"}, {}},
      {"taper unreadable", {{"06", "% taper = 5 *"}},
       {"Error 5 in read of taper"}, {"Error 5 in read of taper"}, {"Error 5 in read of taper"}},
      {"band reversed", {{"04", "Lower freq = 300.0 *"}, {"05", "Upper freq = 200.0 *"}},
       {"Upper frequency of band 200.0 < lower frequency 300.0", "Check to see the (fl,fu) units are Hz"},
       {"Upper frequency of band 200.0 < lower frequency 300.0", "Check to see the (fl,fu) units are Hz"}, {}},
      {"start with a capital", {{"10", "Start = 1 *"}},
       {"Error 1 in read of start datum", "start"}, {"Error 1 in read of start datum", "start"}, {}},
      {"start run into the next line", {{"10", "start =1*"}},
       {"Error 6 in read of start datum", "start"}, {"Error 6 in read of start datum", "start"}, {}},
      {"column with a point", {{"02", "Column number = 1.5 *"}},
       {"ERROR reading use column number 0"}, {"ERROR reading use column number 0"},
       {"ERROR reading use column number 0"}},
      {"quantile ended by a tab", {{"13", "Quantile = 0.8\t*"}},
       {"Error 6 in read of quantile"}, {"Error 6 in read of quantile"}, {"Error 6 in read of quantile"}},
      {"start below 1", {{"10", "start = 0 *"}}, {"IS in CNL file is < 1 0"}, {"IS in CNL file is < 1 0"}, {}},
      {"end before start", {{"10", "start = 9 *"}, {"11", "end = 5 *"}},
       {"IE < IS in CNL file 9 5"}, {"IE < IS in CNL file 9 5"}, {}},
      {"quantile of one", {{"13", "Quantile = 1.0 *"}},
       {"Quantile 1.0 not in (0,1)"}, {"Quantile 1.0 not in (0,1)"}, {"Quantile 1.0 not in (0,1)"}},
      {"quantile missing", {{"13", "Q = 0.8 *"}},
       {"Error 1 in read of quantile"}, {"Error 1 in read of quantile"}, {"Error 1 in read of quantile"}},
      {"threshold zero", {{"08", "Prewhiten AR(3) *"}, {"09", "p threshold = 0.0 *"}},
       {"Prob level pv 0.0 < 0", "Set pv = 0 if you do not want to prewhiten"},
       {"Prob level pv 0.0 < 0", "Set pv = 0 if you do not want to prewhiten"}, {}},
      {"threshold above one", {{"08", "Prewhiten AR(3) *"}, {"09", "p threshold = 1.5 *"}},
       {"Prob level pv 1.5 > 1"}, {"Prob level pv 1.5 > 1"}, {}},
      {"AR order negative", {{"08", "Prewhiten AR(-3) *"}, {"09", "p threshold = 0.05 *"}},
       {"AR order -3 < 0"}, {"AR order -3 < 0"}, {"AR order -3 < 0"}},
      {"AR order unreadable", {{"08", "Prewhiten AR() *"}, {"09", "p threshold = 0.05 *"}},
       {"Error 3 in read of AR order"}, {"Error 3 in read of AR order"}, {"Error 3 in read of AR order"}},
      {"frame too short", {{"07", "Resolution bandwidth = 150.0 *"}},
       {"Frame length = 7 < 10", "Decrease resolution bandwidth = 150.0"},
       {"Frame length = 7 < 10", "Decrease resolution bandwidth = 150.0"},
       {"Frame length = 7 < 10", "Decrease resolution bandwidth = 150.0"}},
      {"band too narrow", {{"04", "Lower freq = 100.0 *"}, {"05", "Upper freq = 110.0 *"}},
       {"fu-fl is too small. Increase fu-fl"}, {"fu-fl is too small. Increase fu-fl"},
       {"fu-fl is too small. Increase fu-fl"}},
      {"above Nyquist", {{"05", "Upper freq = 600.0 *"}},
       {"Upper frequency = 600.0 > Nyquist freq. 500.0", "Check to see the (fl,fu) units are Hz",
        "Sampling unit Hz Sampling rate/interval 1000.0", "iunit = 2"},
       {"Upper frequency = 600.0 > Nyquist freq. 500.0", "Check to see the (fl,fu) units are Hz",
        "Sampling unit Hz Sampling rate/interval 1000.0", "iunit = 2"},
       {"Upper frequency = 600.0 > Nyquist freq. 500.0", "Check to see the (fl,fu) units are Hz",
        "Sampling unit Hz Sampling rate/interval 1000.0", "iunit = 2"}},
      {"end beyond the data", {{"11", "end = 600 *"}},
       {"IE 600 > N in data file 512"}, {"IE 600 > N in data file 512"}, {}},
      {"too few trifrequencies", {{"04", "Lower freq = 62.5 *"}, {"05", "Upper freq = 187.5 *"}},
       {"Number of trifrequencies to be computed 2 < 5", "Increase the passband"},
       {"Number of trifrequencies to be computed 2 < 5", "Increase the passband"},
       {"Number of trifrequencies to be computed 2 < 5", "Increase the passband"}},
  };
  for (const StopCase& c : cases) {
    Control control;
    for (const auto& [k, v] : c.changes) control.lines[k] = v;
    Outcome o = run_one(control);
    EXPECT_EQ(o.run.exit_status, 1) << c.name;
    if (!c.report_tail.empty()) {
      EXPECT_TAIL(o.report, c.report_tail) << c.name;
    }
    if (!c.console_tail.empty()) {
      EXPECT_TAIL(o.console, c.console_tail) << c.name;
    }
    if (c.error_tail.empty()) {
      EXPECT_TRUE(o.error.empty() || c.console_tail.empty()) << c.name << ::testing::PrintToString(o.error);
    } else {
      EXPECT_TAIL(o.error, c.error_tail) << c.name;
    }
  }
}

TEST(RunSetup, MessagesOfTheFileNames) {
  Control blank_after_equals;
  blank_after_equals.lines["01"] = "Data file name = d.dat *";
  Outcome o = run_one(blank_after_equals);
  EXPECT_EQ(o.run.exit_status, 1);
  Lines expected{"Error in reading the data file name from %.cnl", "Error number for charead = 3"};
  EXPECT_EQ(o.console, expected);
  EXPECT_EQ(o.error, expected);

  Control missing;
  missing.lines["01"] = "Data file name =nothere.dat *";
  o = run_one(missing);
  EXPECT_EQ(o.console, Lines{"Input file nothere.dat does not exist"});
  EXPECT_EQ(o.error, Lines{"Input file nothere.dat does not exist"});
}

TEST(RunSetup, ParameterTextLimits) {
  TempDir dir;
  dir.write("Runquorvel.cnl", "Runs = 1 *\nrun.cnl *\n");
  dir.write("run.cnl", "Data file name =d.dat *\nColumn number = 1 *\n");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(squeezed_lines(r.out), Lines{"End of file on cnl file before the # line"});

  std::string long_text;
  for (int i = 0; i < 10; ++i) long_text += std::string(75, 'x') + " *\n";
  dir.write("run.cnl", long_text);
  r = dir.run();
  EXPECT_EQ(squeezed_lines(r.out), Lines{"Parameters of cnl file exceed 700 characters"});
  EXPECT_EQ(squeezed_lines(dir.read("Quorvel-error.out")), Lines{"Parameters of cnl file exceed 700 characters"});

  dir.write("run.cnl", "Data file name =d.dat *\nno marker here\n#\n");
  r = dir.run();
  EXPECT_EQ(squeezed_lines(r.out), (Lines{"Place comment marker * after parameters on map.cnl", "no marker here"}));
}

TEST(RunSetup, DataHeaderStops) {
  struct Case {
    const char* name;
    std::string data;
    Lines report_tail;
  } cases[] = {
      {"one line", "only a title\n", {"**** eof in read of data file header"}},
      {"no unit", data_file(10, "rate = 1000.0 format =(2f10.3)"),
       {"", "ERROR - unit=! is not typed after the format on the data file used",
        "rows = 10 columns = 2 rate = 1000.0 format =(2f10.3)"}},
      {"Hz header for a kHz run", data_file(10, "rate = 1000.0 format =(2f10.3) unit=Hz"), {}},
      {"rate without point", data_file(10, "rate = 1000 format =(2f10.3) unit=Hz"),
       {"Error in reading the sampling rate of the data", "Error number for rnumread = 1"}},
      {"rows missing", "t\ncolumns = 2 rate = 1.0 unit=Hz format =(f5.1)\n",
       {"Error in reading the no. of rows of the data file", "Error number for rnumread = 1"}},
      {"rows with a letter", "t\nrows = 1O0 columns = 2 rate = 1.0 unit=Hz format =(f5.1)\n",
       {"Error in reading the no. of rows of the data file", "Error number for rnumread = 6"}},
      {"rate with a letter", data_file(10, "rate = 1000.o unit=Hz format =(2f10.3)"),
       {"Error in reading the sampling rate of the data", "Error number for rnumread = 1"}},
  };
  for (const Case& c : cases) {
    Control control;
    if (std::string(c.name) == "Hz header for a kHz run") control.lines["03"] = "Sampling unit =kHz *";
    Outcome o = run_one(control, c.data);
    EXPECT_EQ(o.run.exit_status, 1) << c.name;
    if (!c.report_tail.empty()) {
      EXPECT_TAIL(o.report, c.report_tail) << c.name;
    }
    if (std::string(c.name) == "Hz header for a kHz run") {
      ASSERT_GE(o.report.size(), 2u);
      EXPECT_EQ(o.report[o.report.size() - 2],
                "ERROR - the control file sets the units in kHz but Hz is indicated on line 2 of the data file");
    }
  }
}

TEST(RunSetup, DataReaderStops) {
  Control control;
  Outcome o = run_one(control, data_file(512).substr(0, data_file(512).size() - 200));
  EXPECT_EQ(o.run.exit_status, 1);
  ASSERT_GE(o.console.size(), 2u);
  EXPECT_EQ(o.console[o.console.size() - 2], "**** eof in read from data file");
  EXPECT_EQ(o.console.back().substr(0, 4), "t = ");

  std::string bad = data_file(512);
  bad.replace(bad.find('\n', bad.find('\n') + 1) + 1, 10, "   abc.def");
  o = run_one(control, bad);
  EXPECT_EQ(o.run.exit_status, 1);
  EXPECT_TAIL(o.error, "** Error in read of data file 5010", "Check format(2f10.3)");

  // A format cut at a blank cannot be parsed: a read error, never a crash.
  o = run_one(control, data_file(512, "rate = 1000.0 unit=Hz format =(f10.3, f10.3)"));
  EXPECT_EQ(o.run.exit_status, 1);
  EXPECT_TAIL(o.error, "** Error in read of data file 5006", "Check format(f10.3,");
}

TEST(RunSetup, DataThatAreNotFiniteNumbersStop) {
  std::string data = data_file(512);
  data.replace(data.find('\n', data.find('\n') + 1) + 1, 10, "       NaN");
  Outcome o = run_one(Control(), data);
  EXPECT_EQ(o.run.exit_status, 1);
  EXPECT_TAIL(o.error, "Datum 1 of column 1 of d.dat is not a finite number");
  EXPECT_TAIL(o.report, "Datum 1 of column 1 of d.dat is not a finite number");
  EXPECT_TAIL(o.console, "Datum 1 of column 1 of d.dat is not a finite number");
}

// A constant series (raw, or standardised after a failed AR fit) has no
// valid trispectrum value: no p-value is printed (a zero would read as a
// rejection), the console and the error file say why, and the batch ends
// with status 1.
TEST(RunSetup, ConstantSeriesPrintsNoPValue) {
  std::string data = "constant\nrows = 512 columns = 2 rate = 1000.0 unit=Hz format =(2f10.3)\n";
  for (int i = 0; i < 512; ++i) data += "     1.000     2.000\n";
  for (bool prewhiten : {false, true}) {
    SCOPED_TRACE(prewhiten);
    Control c;
    if (prewhiten) {
      c.lines["08"] = "Prewhiten AR(2) *";
      c.lines["09"] = "p threshold = 0.05 *";
    }
    TempDir dir;
    dir.write("Runquorvel.cnl", "Runs = 1 *\nrun.cnl *\n");
    dir.write("run.cnl", c.text());
    dir.write("d.dat", data);
    ProgramRun r = dir.run();
    EXPECT_EQ(r.exit_status, 1);
    const std::string report = dir.read("d_Quorvel.out");
    EXPECT_EQ(report.find("NaN"), std::string::npos);
    EXPECT_EQ(report.find("nan"), std::string::npos);
    EXPECT_EQ(prewhiten, report.find("DCHOLDC failed, A is not positive definite") != std::string::npos);
    EXPECT_EQ(report.find("p-value ="), std::string::npos) << report;
    EXPECT_EQ(report.find("Mean noncentrality"), std::string::npos);
    EXPECT_NE(report.find("Valid trispectrum values = 0 < 12"), std::string::npos);
    EXPECT_NE(report.find("No p-values: the tests were not computed with fewer than 12 valid trispectrum values"),
              std::string::npos);
    EXPECT_NE(report.find("Elapsed time"), std::string::npos);
    const std::string low = "Valid trispectrum values = 0 < 12";
    EXPECT_NE(r.out.find(low), std::string::npos) << r.out;
    EXPECT_EQ(squeezed_lines(dir.read("Quorvel-error.out")), Lines{low});
  }
}

// Raw data far outside 1e-41 ... 1e38 are analysed as well as at scale 1:
// the same series times 2^-150 or 2^130 gives the same results block and
// value files to the last character.
TEST(RunSetup, ExtremeScaleGivesTheSameResultsAsScaleOne) {
  auto results_of = [](double scale) {
    std::string data = "A test series\nrows = 512 columns = 2 rate = 1000.0 unit=Hz format =(2e25.16)\n";
    unsigned state = 7;
    for (int i = 0; i < 512; ++i) {
      state = state * 1103515245u + 12345u;
      char buf[64];
      std::snprintf(buf, sizeof buf, "%25.16e%25.16e\n", scale * (((state >> 8) % 20000) / 1000.0 - 10.0), scale);
      data += buf;
    }
    TempDir dir;
    dir.write("Runquorvel.cnl", "Runs = 1 *\nrun.cnl *\n");
    dir.write("run.cnl", Control().text());
    dir.write("d.dat", data);
    EXPECT_EQ(dir.run().exit_status, 0) << scale;
    const std::string report = dir.read("d_Quorvel.out");
    const std::size_t from = report.find("p-value ="), to = report.find(" Version 10-26-2009");
    EXPECT_NE(from, std::string::npos) << report;
    const std::string pos = dir.read("d-k3+_quorvel.out"), neg = dir.read("d-k3-_quorvel.out");
    return report.substr(from, to - from) + pos.substr(pos.find('\n')) + neg.substr(neg.find('\n'));
  };
  const std::string at_one = results_of(1.0);
  EXPECT_NE(at_one.find("p-value = 0."), std::string::npos);
  EXPECT_EQ(results_of(std::ldexp(1.0, -150)), at_one);
  EXPECT_EQ(results_of(std::ldexp(1.0, 130)), at_one);
}

TEST(RunSetup, AbandonedRunsLetTheBatchGoOn) {
  TempDir dir;
  dir.write("Runquorvel.cnl", "Runs = 2 *\nfirst.cnl *\nsecond.cnl *\n");
  Control long_name;
  std::string stem(40, 'n');
  long_name.lines["01"] = "Data file name =" + stem + ".dat *";
  dir.write("first.cnl", long_name.text());
  dir.write(stem + ".dat", data_file(512));
  dir.write("second.cnl", Control().text());
  dir.write("d.dat", data_file(512));
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);  // a run was abandoned
  Lines console = squeezed_lines(r.out);
  ASSERT_FALSE(console.empty());
  EXPECT_EQ(console[0], "**** Error on opening out file " + stem + "_Quorvel.out -1");
  EXPECT_TRUE(dir.exists("d_Quorvel.out"));
  EXPECT_FALSE(dir.exists(stem + "_Quorvel.out"));
}

TEST(RunSetup, BootstrapNoticeAndSizingLines) {
  Control c;
  c.lines["08"] = "Prewhiten AR(2) *";
  c.lines["09"] = "p threshold = 0.05 *";
  c.lines["12"] = "Resamples = 10 *";
  c.lines["10"] = "start = 1 *";
  c.lines["11"] = "end = 0 *";
  c.lines["05"] = "Upper freq = 0.0 *";
  Outcome o = run_one(c);
  auto contains = [](const Lines& lines, const std::string& l) {
    return std::find(lines.begin(), lines.end(), l) != lines.end();
  };
  EXPECT_TRUE(contains(o.report, "Bootstrap is turned off if the number of resampl s is less than 11"));
  EXPECT_TRUE(contains(o.console, "Bootstrap is turned off if the number of resamples is less than 11"));
  EXPECT_TRUE(contains(o.error, "Resamples = 10"));
  EXPECT_TRUE(contains(o.report, "Column Number Used = 1 No. of Columns = 2"));
  // M = 16 for 1000 Hz and 62.5 Hz: the band 1..8.
  EXPECT_TRUE(contains(o.report, "Stationary Trispectrum Values for k3 > 0 = 16"));
  EXPECT_TRUE(contains(o.report, "Condition for Consistency of Estimates is Violated - e =0.44444"));
}

TEST(RunSetup, BootstrapWithoutPrewhiteningIsReported) {
  Control c;
  c.lines["12"] = "Resamples = 200 *";
  Outcome o = run_one(c);
  EXPECT_EQ(o.run.exit_status, 0);
  const Lines note{"", "Bootstrap is turned off without AR prewhitening", "Resamples = 200"};
  for (const Lines* lines : {&o.report, &o.console, &o.error}) {
    EXPECT_NE(std::search(lines->begin(), lines->end(), note.begin(), note.end()), lines->end())
        << ::testing::PrintToString(*lines);
  }
  EXPECT_TRUE(std::none_of(o.report.begin(), o.report.end(),
                           [](const std::string& l) { return l.find("Shuffled") != std::string::npos; }));

  c.lines["12"] = "Resamples = 0 *";  // none asked for: nothing to say
  o = run_one(c);
  for (const Lines* lines : {&o.report, &o.console, &o.error}) {
    for (const std::string& l : *lines) EXPECT_EQ(l.find("Bootstrap"), std::string::npos) << l;
  }
}


bool has_line(const Lines& lines, const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); }

TEST(RunSetup, SizingOfFramesBandAndTaper) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> changes;
    std::string data;
    Lines expected;  // lines of the report (squeezed)
  } cases[] = {
      {"Hz: 1000 / 10 gives M = 100", {{"07", "Resolution bandwidth = 10.0 *"}}, data_file(400),
       {"Sampling rate = 1000.0000 Hz Frame size 100", "Passband ( 10.0000 500.0000 ) Hz"}},
      {"kHz: 10 kHz / 100 Hz gives M = 100",
       {{"03", "Sampling unit =kHz *"}, {"07", "Resolution bandwidth = 100.0 *"}},
       data_file(400, "rate = 10.0 unit=kHz format =(2f10.3)"),
       {"Sampling rate = 10.0000 kHz Frame size 100", "Passband ( 0.1000 5.0000 ) kHz"}},
      {"taper of 4 % keeps 2 points", {{"07", "Resolution bandwidth = 10.0 *"}, {"06", "% taper = 4.0 *"}},
       data_file(400), {"% taper = 4.00 No. tapered at each end = 2"}},
      {"taper of 2 % is switched off", {{"07", "Resolution bandwidth = 10.0 *"}, {"06", "% taper = 2.0 *"}},
       data_file(400), {"% Taper yields no. of tapered values < 2"}},
      {"M = 64 and N = 4096 warn of consistency", {{"07", "Resolution bandwidth = 15.625 *"}}, data_file(4096),
       {"Condition for Consistency of Estimates is Violated - e =0.50000", "Bandwidth Frame Exponent = 0.5000"}},
      {"band of lo 2 to hi 21", {{"04", "Lower freq = 20.0 *"}, {"05", "Upper freq = 210.0 *"},
                                  {"07", "Resolution bandwidth = 10.0 *"}}, data_file(400),
       {"Sample size = 400 No. of frequencies in the band = 20 No. frames = 4"}},
      {"days: interval 1.0, span 64 gives M = 64",
       {{"03", "Sampling unit =days *"}, {"04", "Longest period = 0.0 *"}, {"05", "Shortest period = 0.0 *"},
        {"07", "Resolution bandwidth = 64.0 *"}},
       data_file(1024, "interval = 1.0 format =(2f10.3)"),
       {"Sampling interval = 1.0000 days Frame size 64", "Passband ( 64.00 2.0000 ) days"}},
      {"days: interval 0.5 and no shortest period reach Nyquist",
       {{"03", "Sampling unit =days *"}, {"04", "Longest period = 0.0 *"}, {"05", "Shortest period = 0.0 *"},
        {"07", "Resolution bandwidth = 32.0 *"}},
       data_file(1024, "interval = 0.5 format =(2f10.3)"),
       {"Sampling interval = 0.5000 days Frame size 64", "Passband ( 32.00 1.0000 ) days"}},
  };
  for (const Case& c : cases) {
    Control control;
    for (const auto& [k, v] : c.changes) control.lines[k] = v;
    Outcome o = run_one(control, c.data);
    EXPECT_EQ(o.run.exit_status, 0) << c.name << ::testing::PrintToString(o.console);
    for (const auto& l : c.expected) EXPECT_TRUE(has_line(o.report, l)) << c.name << ": " << l;
  }
}

TEST(RunSetup, FourWholeFramesAreNeeded) {
  Control c;
  c.lines["07"] = "Resolution bandwidth = 10.0 *";
  Outcome o = run_one(c, data_file(399));
  EXPECT_EQ(o.run.exit_status, 1);
  EXPECT_TAIL(o.error, "Frame length > n/4", "Increase resolution bandwidth = 10.0");
  EXPECT_EQ(run_one(c, data_file(400)).run.exit_status, 0);
}

TEST(RunSetup, PeriodFormNyquistIsInCyclesPerSample) {
  Control c;
  c.lines["03"] = "Sampling unit =days *";
  c.lines["04"] = "Longest period = 0.0 *";
  c.lines["05"] = "Shortest period = 1.5 *";  // below two intervals of 1.0
  c.lines["07"] = "Resolution bandwidth = 16.0 *";
  Outcome o = run_one(c, data_file(512, "interval = 1.0 format =(2f10.3)"));
  EXPECT_EQ(o.run.exit_status, 1);
  ASSERT_FALSE(o.error.empty());
  EXPECT_EQ(o.error[0], "Upper frequency = 0.6666667 > Nyquist freq. 0.5");
  EXPECT_TAIL(o.error, "Sampling unit days Sampling rate/interval 1.0", "iunit = 0");

  // An interval of 2 with a shortest period of 3 is beyond the Nyquist frequency too.
  c.lines["05"] = "Shortest period = 3.0 *";
  o = run_one(c, data_file(512, "interval = 2.0 format =(2f10.3)"));
  EXPECT_EQ(o.run.exit_status, 1);
  ASSERT_FALSE(o.error.empty());
  EXPECT_EQ(o.error[0], "Upper frequency = 0.33333334 > Nyquist freq. 0.25");
}

TEST(RunSetup, ValueFileNamesBeyondFiftyCharactersAreRefused) {
  TempDir dir;
  const std::string stem(36, 's');  // the report's name fits, the value files' do not
  Control c;
  c.lines["01"] = "Data file name =" + stem + ".dat *";
  dir.write("Runquorvel.cnl", "Runs = 1 *\nrun.cnl *\n");
  dir.write("run.cnl", c.text());
  dir.write(stem + ".dat", data_file(512));
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  const Lines expected{"**** Error on opening " + stem + "-k3+_quorvel.out -1"};
  EXPECT_EQ(squeezed_lines(r.out), expected);
  EXPECT_EQ(squeezed_lines(dir.read("Quorvel-error.out")), expected);
}

TEST(RunSetup, OutputNamesComeFromTheBaseName) {
  TempDir dir;
  Control c;
  c.lines["01"] = "Data file name =sub/dir.v2/run.data.txt *";
  dir.write("Runquorvel.cnl", "Runs = 1 *\nrun.cnl *\n");
  dir.write("run.cnl", c.text());
  dir.write("sub/dir.v2/run.data.txt", data_file(512));
  ASSERT_EQ(dir.run().exit_status, 0);
  EXPECT_TRUE(dir.exists("run_Quorvel.out"));
  EXPECT_TRUE(dir.exists("run-k3+_quorvel.out"));
  EXPECT_TRUE(dir.exists("run-k3-_quorvel.out"));

  c.lines["01"] = "Data file name =sub/noextension *";
  dir.write("run.cnl", c.text());
  dir.write("sub/noextension", data_file(512));
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(squeezed_lines(r.out), (Lines{"Data file name does not have an extension", "sub/noextension"}));
}

}  // namespace
}  // namespace quorvel::testing

// The plain-file reader never changes a number: delimiters, decimal
// commas, header rows and lines wider than the first; and the progress
// line's redraw with and without escape sequences.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/progress_bar.hpp"
#include "cli/read_column.hpp"
#include "support/test_support.hpp"

namespace quorvel::cli {
namespace {

std::vector<double> read(const std::string& text, const std::string& column, const TableLayout& layout = {}) {
  std::istringstream in(text);
  return read_column(in, "f.csv", column, layout);
}

TEST(ReadColumn, LayoutsGiveTheValuesAsWritten) {
  using V = std::vector<double>;
  const struct {
    std::string text, column, delimiter, header;
    V values;
  } cases[] = {
      {"a;b\n1,5;-2,25\n3;4\n", "b", "auto", "auto", V{-2.25, 4}},           // semicolons, decimal commas
      {"a;b\n1.5;2\n", "1", "auto", "auto", V{1.5}},                        // semicolons, decimal points
      {"a\tb\n1,5\t2,5\n7\t8\n", "2", "auto", "auto", V{2.5, 8}},           // tabs, decimal commas
      {"a\tb c\n1\t\n2\t3\n", "b c", "tab", "auto", V{}},                   // an empty cell is no value
      {"x\n-2,409\n", "1", ";", "auto", V{-2.409}},                         // the fix the hint names
      {"1,5\n2,5\n", "2", "auto", "auto", V{5, 5}},                         // commas between integers
      {"101,102\n1,2\n3,4\n", "2", "auto", "yes", V{2, 4}},                 // a numeric header, by number
      {"101,102\n1,2\n3,4\n", "102", "auto", "yes", V{2, 4}},               // and by name
      {"101,102\n1,2\n", "2", "auto", "auto", V{102, 2}},                   // auto: the first line is data
      {"x,y\n1,2\n", "2", "auto", "no", V{}},                               // no header: 'y' is no number
      {"1 2\n3 4\n", "2", "space", "no", V{2, 4}},
      {"t,x\n1,\"2\"\n", "x", ",", "auto", V{2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const TableLayout layout{c.delimiter, c.header};
    if (c.values.empty()) {
      EXPECT_THROW(read(c.text, c.column, layout), InputError);
    } else {
      EXPECT_EQ(read(c.text, c.column, layout), c.values);
    }
  }
}

TEST(ReadColumn, RefusalsNameTheLineAndHint) {
  const struct {
    std::string text, column, header, message;
  } cases[] = {
      {"value\n-2,409\n0,729\n", "1", "auto", "f.csv, line 2: 2 columns, more than the 1 of line 1 (decimal commas? try --delimiter ';')"},
      {"t,x\n1,2\n2,3,4\n", "x", "auto", "f.csv, line 3: 3 columns, more than the 2 of line 1 (decimal commas? try --delimiter ';')"},
      {"a b\n1 2 3\n", "1", "auto", "f.csv, line 2: 3 columns, more than the 2 of line 1"},
      {"x,y\n1;2\n3,4\n", "2", "auto", "f.csv, line 2, column 2 (y): the line has only 1 column (try --delimiter ';')"},
      {"t,x\n1,2\n", "x", "no", "f.csv: --column x is a name, but the file has no header row (--header no)"},
      {"t,x\n1,2\n", "y", "yes", "f.csv: no column 'y' in the header row (t, x)"},
      {"a;b\n1,2,3;4\n", "1", "auto", "f.csv, line 2, column 1 (a): '1,2,3' is not a number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      read(c.text, c.column, TableLayout{"auto", c.header});
      ADD_FAILURE() << "read";
    } catch (const InputError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(ProgressLine, EscapesOnlyWhereTheTerminalTakesThem) {
  EXPECT_TRUE(takes_escapes("xterm-256color"));
  for (const char* term : {static_cast<const char*>(nullptr), "", "dumb"}) EXPECT_FALSE(takes_escapes(term));
  const struct {
    std::string line;
    std::size_t previous;
    bool escapes;
    std::string text;
  } cases[] = {
      {"run.cnl bootstrap", 0, true, "\rrun.cnl bootstrap\x1b[K"},
      {"", 5, true, "\r\x1b[K"},
      {"ab", 5, false, "\rab   "},
      {"abcdef", 3, false, "\rabcdef"},
      {"", 4, false, "\r    \r"},
  };
  for (const auto& c : cases) EXPECT_EQ(redraw_text(c.line, c.previous, c.escapes), c.text) << c.line;
}

// The batch program on a terminal: the progress line names the run, and a
// dumb terminal gets no escape sequence.
TEST(ProgressLine, BatchOnATerminalNamesTheRun) {
  testing::TempDir dir;
  std::string control = testing::narrow_control("w.dat");
  control.replace(control.find("No whitening"), 12, "Prewhiten with AR(2) *\np threshold = 0.05");
  control.replace(control.find("Resamples = 0"), 13, "Resamples = 12");
  dir.write("w.dat", testing::noise_rows(true));
  dir.write("white run.cnl", control);
  dir.write("Runquorvel.cnl", "Runs = 1 *\nwhite run.cnl *\n");
  for (const char* term : {"dumb", "xterm"}) {
    SCOPED_TRACE(term);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int out = ::open("/dev/null", O_WRONLY);
      if (out < 0 || ::dup2(out, 1) < 0 || ::chdir(dir.path().c_str()) != 0) _exit(120);
      ::setenv("TERM", term, 1);
      ::execl(QUORVEL_BINARY, QUORVEL_BINARY, static_cast<char*>(nullptr));
      _exit(121);
    }
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(got));
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(shown.find("\rwhite run.cnl bootstrap ["), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\x1b') != std::string::npos, std::string(term) != "dumb") << shown;
  }
}

}  // namespace
}  // namespace quorvel::cli

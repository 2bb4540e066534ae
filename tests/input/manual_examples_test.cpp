// The examples of the readers in the user's manual, run through the readers:
// the manual says exactly what they accept.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/units.hpp"
#include "readers/field_readers.hpp"
#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

struct Example {
  std::string reader, key, text, result;
};

// The rows of the table between the reader-example markers.
std::vector<Example> manual_examples() {
  std::ifstream manual(source_dir() / "docs" / "manual.md");
  std::vector<Example> rows;
  std::string line;
  bool inside = false;
  while (std::getline(manual, line)) {
    if (line == "<!-- reader examples -->") inside = true;
    if (line == "<!-- end reader examples -->") break;
    if (!inside || line.rfind("| ", 0) != 0 || line.rfind("| Reader", 0) == 0) continue;
    std::vector<std::string> cells;
    std::stringstream row(line.substr(2));
    for (std::string cell; std::getline(row, cell, '|');) {
      cell = cell.substr(cell.find_first_not_of(' '));
      cell = cell.substr(0, cell.find_last_not_of(' ') + 1);
      if (cell.size() >= 2 && cell.front() == '`' && cell.back() == '`') cell = cell.substr(1, cell.size() - 2);
      cells.push_back(cell);
    }
    if (cells.size() >= 4) rows.push_back({cells[0], cells[1], cells[2], cells[3]});
  }
  return rows;
}

std::string result_of(const Example& e) {
  std::string text = e.text;
  text.resize(120, ' ');  // the parameter text and the header line are blank-padded
  int ierr = 0;
  std::string value;
  if (e.reader == "text") {
    TextField f = charead(e.key, text, "= ");
    ierr = f.ierr;
    value = f.value.substr(0, f.value.find(' '));
  } else if (e.reader == "integer" || e.reader == "integer ( )") {
    IntField f = numread(e.key, text, e.reader == "integer" ? "= " : "()", kNoteUnit);
    ierr = f.ierr;
    value = std::to_string(f.value);
  } else if (e.reader == "real") {
    RealField f = rnumread(e.key, text, "= ", kNoteUnit);
    ierr = f.ierr;
    std::ostringstream out;
    out << f.value;
    value = out.str();
  } else {
    return "unknown reader " + e.reader;
  }
  return ierr != 0 ? "error " + std::to_string(ierr) : value;
}

TEST(ManualExamples, ReadersGiveWhatTheManualSays) {
  const std::vector<Example> examples = manual_examples();
  ASSERT_GE(examples.size(), 20u) << "the table of reader examples in docs/manual.md";
  // Every error code of every reader has its example.
  for (const char* reader : {"text", "integer", "real"}) {
    for (int code = 1; code <= (std::string(reader) == "text" ? 3 : std::string(reader) == "integer" ? 4 : 5); ++code) {
      bool found = false;
      for (const Example& e : examples) found = found || (e.reader == reader && e.result == "error " + std::to_string(code));
      EXPECT_TRUE(found) << reader << " error " << code;
    }
  }
  for (const Example& e : examples) EXPECT_EQ(result_of(e), e.result) << e.reader << " " << e.key << " " << e.text;
}

}  // namespace
}  // namespace quorvel::testing

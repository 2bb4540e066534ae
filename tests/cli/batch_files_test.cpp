// The files for programs agree with the reports: a JSON file and a summary
// row for every run of a batch however it ended, any bytes in names and
// cells, and 32-bit numbers as their shortest decimals.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <charconv>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kHeader =
    "name,N,M,e,p_quantile,p_reversibility,p_zero,p_aliasing,shuffled_quantile,shuffled_reversibility,shuffled_zero,"
    "shuffled_aliasing,lambda_hat,p.nonlinearity,p.reversibility,p.gaussianity,p.aliasing,p_from,warnings,error";
// The empty cells of a failed run's row between its name and its message.
const std::string kEmptyCells(19, ',');

// A run that stops replaces the JSON of its stem by one with its message.
TEST(BatchFiles, StaleJsonAfterAStoppedRun) {
  TempDir dir;
  dir.write("w.dat", noise_rows(true));
  dir.write("w.cnl", narrow_control("w.dat"));
  dir.write("Runquorvel.cnl", "Runs = 1 *\nw.cnl *\n");
  ASSERT_EQ(run_program(dir.path(), {}).exit_status, 0);
  ASSERT_TRUE(json::parse(dir.read("w_quorvel.json")).contains("p_quantile"));
  dir.write("w.cnl", narrow_control("w.dat", "x"));
  ProgramRun r = run_program(dir.path(), {});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(json::parse(dir.read("w_quorvel.json")), json::parse(R"({"name":"w","error":"Error 4 in read of quantile"})"));
  EXPECT_EQ(lines_of(dir.read("Quorvel-summary.csv")),
            (std::vector<std::string>{kHeader, "w" + kEmptyCells + "Error 4 in read of quantile"}));
  EXPECT_NE(dir.read("w_Quorvel.out").find("Error 4 in read of quantile"), std::string::npos);
}

// One row per run in list order, the error or notice in its last column;
// each JSON says what its report says.
TEST(BatchFiles, EveryRunHasItsRowAndItsJson) {
  TempDir dir;
  for (const char* stem : {"a", "b", "c", "d"}) {
    dir.write(std::string(stem) + ".dat", noise_rows(true, stem[0] == 'c'));
    dir.write(std::string(stem) + ".cnl", narrow_control(std::string(stem) + ".dat"));
  }
  dir.write("e.cnl", narrow_control("e.dat"));  // no such data: the batch stops there
  dir.write("c_quorvel.json", R"({"name":"c","p_quantile":0.8686})");
  ASSERT_EQ(::mkfifo((dir.path() / "d_Quorvel.out").c_str(), 0644), 0);
  dir.write("Runquorvel.cnl", "Runs = 5 *\na.cnl *\nc.cnl *\nd.cnl *\nb.cnl *\ne.cnl *\n");
  ProgramRun r = run_program(dir.path(), {});
  EXPECT_EQ(r.exit_status, 1);
  const std::vector<std::string> rows = lines_of(dir.read("Quorvel-summary.csv"));
  ASSERT_EQ(rows.size(), 7u) << dir.read("Quorvel-summary.csv");
  EXPECT_EQ(rows[0], kHeader);
  EXPECT_EQ(rows[1].rfind("a,1024,32,", 0), 0u);
  EXPECT_EQ(rows[1].back(), ',');
  const std::string no_p = "No p-values: the tests were not computed with fewer than 12 valid trispectrum values";
  EXPECT_EQ(rows[2], "c" + kEmptyCells + no_p);
  EXPECT_EQ(rows[3], "d" + kEmptyCells + "\"**** Error on opening out file d_Quorvel.out -2");
  EXPECT_EQ(rows[4], "d_Quorvel.out is not a regular file\"");
  EXPECT_EQ(rows[5].rfind("b,1024,32,", 0), 0u);
  EXPECT_EQ(rows[6], "e.cnl" + kEmptyCells + "Input file e.dat does not exist");
  EXPECT_EQ(json::parse(dir.read("c_quorvel.json"))["error"], no_p);
  EXPECT_EQ(json::parse(dir.read("d_quorvel.json"))["error"],
            "**** Error on opening out file d_Quorvel.out -2\nd_Quorvel.out is not a regular file");
  EXPECT_FALSE(dir.exists("e_quorvel.json"));
  EXPECT_TRUE(json::parse(dir.read("b_quorvel.json")).contains("p_zero"));
}

// The summary is written afresh when no run ends, or none completes.
TEST(BatchFiles, SummaryIsRewrittenWhenNoRunCompletes) {
  const struct {
    std::string list;
    std::size_t rows;
  } cases[] = {{"Runs = 0 *\n", 1}, {"Runs = 1 *\nmissing.cnl *\n", 2}, {"", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.list);
    TempDir dir;
    dir.write("Quorvel-summary.csv", kHeader + "\nold,1024,32,0.5,0.1,,,,,,,,,,\n");
    dir.write("Runquorvel.cnl", c.list);
    run_program(dir.path(), {});
    const std::vector<std::string> rows = lines_of(dir.read("Quorvel-summary.csv"));
    ASSERT_EQ(rows.size(), c.rows);
    EXPECT_EQ(rows[0], kHeader);
    if (c.rows == 2) {
      EXPECT_EQ(rows[1], "missing.cnl" + kEmptyCells + "cnl file does not exist missing.cnl");
    }
  }
}

// Bytes that are not UTF-8 (Latin-1 here) in a name, a cell or an option
// are replaced in the JSON, and --keep-going goes on to the next file.
TEST(BatchFiles, Latin1AmongUtf8) {
  TempDir dir;
  dir.write("good.csv", noise_rows(false));
  dir.write("bad.csv", "t\n1.5\ncaf\xe9\n");
  dir.write("lat\xe9.csv", noise_rows(false));
  dir.write("last.csv", noise_rows(false));
  ProgramRun r = run_program(dir.path(), {"analyse", "good.csv", "bad.csv", "lat\xe9.csv", "last.csv", "--unit", "d\xe9" "cades",
                           "--bandwidth", "32.0", "--format", "json", "--keep-going", "-q"});
  EXPECT_EQ(r.exit_status, 1) << r.err;
  const std::vector<std::string> lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out << r.err;
  std::vector<json> objects;
  for (const std::string& l : lines) objects.push_back(json::parse(l));
  EXPECT_EQ(objects[0]["unit"], "d\xef\xbf\xbd" "cades");
  EXPECT_EQ(objects[1]["error"], "bad.csv, line 3, column 1 (t): 'caf\xef\xbf\xbd' is not a number");
  EXPECT_EQ(objects[2]["name"], "lat\xef\xbf\xbd.csv");
  EXPECT_EQ(objects[3]["name"], "last.csv");
  EXPECT_EQ(objects[3]["p_zero"], objects[0]["p_zero"]);

  // A batch run of a Latin-1 stem keeps its JSON and its summary row.
  TempDir batch;
  batch.write("caf\xe9.dat", noise_rows(true));
  batch.write("w.cnl", narrow_control("caf\xe9.dat"));
  batch.write("Runquorvel.cnl", "Runs = 1 *\nw.cnl *\n");
  EXPECT_EQ(run_program(batch.path(), {}).exit_status, 0);
  EXPECT_EQ(json::parse(batch.read("caf\xe9_quorvel.json"))["name"], "caf\xef\xbf\xbd");
  EXPECT_EQ(lines_of(batch.read("Quorvel-summary.csv"))[1].rfind("caf\xe9,1024,32,", 0), 0u);
}

// Every 32-bit number of the CSV is the shortest decimal of its float, and
// the JSON prints the same text.
TEST(BatchFiles, SingleValuesAsTheirShortestDecimals) {
  TempDir dir;
  dir.write("w.dat", noise_rows(true));
  dir.write("w.cnl", narrow_control("w.dat"));
  dir.write("Runquorvel.cnl", "Runs = 1 *\nw.cnl *\n");
  ASSERT_EQ(run_program(dir.path(), {}).exit_status, 0);
  std::string row = lines_of(dir.read("Quorvel-summary.csv"))[1] + ",";
  const std::string json_text = dir.read("w_quorvel.json");
  for (int skip = 0; skip < 3; ++skip) row.erase(0, row.find(',') + 1);  // name, N, M
  for (const char* key : {"e", "p_quantile", "p_reversibility", "p_zero", "p_aliasing"}) {
    const std::string cell = row.substr(0, row.find(','));
    row.erase(0, cell.size() + 1);
    char text[32];
    EXPECT_EQ(std::string(text, std::to_chars(text, text + sizeof text, std::stof(cell)).ptr), cell) << key;
    EXPECT_NE(json_text.find("\"" + std::string(key) + "\":" + cell + ","), std::string::npos) << key;
  }
  EXPECT_NE(json_text.find("\"e\":0.5,"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::testing

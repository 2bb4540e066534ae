#pragma once
// Helpers for tests that run the program in a temporary working directory.
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::testing {

struct ProgramRun {
  int exit_status = -1;
  std::string out;  // standard output (unit 6)
  std::string err;  // standard error (unit 0)
};

// A fresh temporary directory, removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // Runs the program (built beside the tests) with this directory as its
  // working directory.
  ProgramRun run() const;

 private:
  std::filesystem::path path_;
};

std::vector<std::string> lines_of(const std::string& text);
// Collapses runs of blanks to one and trims the ends: list-directed spacing aside.
std::string squeeze(const std::string& line);
std::vector<std::string> squeezed_lines(const std::string& text);
// The directory of the shipped examples.
std::filesystem::path source_dir();

// Runs the program with `args` in `dir` (a batch without args), standard
// input empty; standard output is caught, or goes where the shell
// redirection `out` sends it ("> /dev/full", ">&-").
ProgramRun run_program(const std::filesystem::path& dir, const std::vector<std::string>& args,
                       const std::string& out = "");
// 1024 rows of white noise (or of a constant, which gives no p-values),
// with a batch data file's two header lines or without.
std::string noise_rows(bool with_header, bool constant = false);
// A control file for `datafile` at 1000 Hz: frames of 32, band 100-300 Hz.
std::string narrow_control(const std::string& datafile, const std::string& quantile = "0.8");

}  // namespace quorvel::testing

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

}  // namespace quorvel::testing

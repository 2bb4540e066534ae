#include "support/test_support.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quorvel::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = fs::temp_directory_path() /
          ("quorvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

namespace {

// With QUORVEL_KEEP_TEST_DIRS set, a temporary directory is copied there
// before it goes, named after its test, so that the outputs of two builds
// can be compared file by file.
void keep_copy(const fs::path& dir) {
  const char* keep = std::getenv("QUORVEL_KEEP_TEST_DIRS");
  if (keep == nullptr || *keep == '\0') return;
  static int kept = 0;
  // Outside a test (a static directory), the process's test filter names it:
  // CTest runs one test a process.
  std::string name = "after-" + GTEST_FLAG_GET(filter);
  if (const auto* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name = std::string(test->test_suite_name()) + "." + test->name();
  }
  for (char& c : name)
    if (c == '/') c = '_';
  std::error_code ec;
  const fs::path to = fs::path(keep) / (name + "-" + std::to_string(kept++));
  fs::create_directories(to, ec);
  fs::copy(dir, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
}

}  // namespace

TempDir::~TempDir() {
  keep_copy(path_);
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  fs::path p = path_ / name;
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << content;
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempDir::exists(const std::string& name) const { return fs::exists(path_ / name); }

ProgramRun TempDir::run() const {
  ProgramRun r;
  fs::path out = path_ / ".stdout", err = path_ / ".stderr";
  std::string cmd = "cd '" + path_.string() + "' && '" + std::string(QUORVEL_BINARY) +
                    "' > '" + out.string() + "' 2> '" + err.string() + "' < /dev/null";
  int status = std::system(cmd.c_str());
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = read(".stdout");
  r.err = read(".stderr");
  if (std::getenv("QUORVEL_KEEP_TEST_DIRS") != nullptr) {
    // Kept beside the run's files (a later run of the same directory adds its own).
    static int runs = 0;
    std::error_code ec;
    fs::rename(out, path_ / (".console-" + std::to_string(runs) + ".out"), ec);
    fs::rename(err, path_ / (".console-" + std::to_string(runs++) + ".err"), ec);
  }
  fs::remove(out);
  fs::remove(err);
  return r;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string squeeze(const std::string& line) {
  std::string s;
  for (char c : line) {
    if (c == ' ' && (s.empty() || s.back() == ' ')) continue;
    s.push_back(c);
  }
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::vector<std::string> squeezed_lines(const std::string& text) {
  std::vector<std::string> lines;
  for (const auto& l : lines_of(text)) lines.push_back(squeeze(l));
  return lines;
}

fs::path source_dir() { return fs::path(QUORVEL_SOURCE_DIR); }

ProgramRun run_program(const fs::path& dir, const std::vector<std::string>& args, const std::string& out) {
  static TempDir streams;
  std::string cmd = "cd '" + dir.string() + "' && '" + std::string(QUORVEL_BINARY) + "'";
  for (const std::string& a : args) cmd += " '" + a + "'";
  const fs::path s = streams.path();
  cmd += " < /dev/null " + (out.empty() ? "> '" + (s / "out").string() + "'" : out) + " 2> '" + (s / "err").string() + "'";
  const int status = std::system(cmd.c_str());
  ProgramRun r;
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = out.empty() ? streams.read("out") : "";
  r.err = streams.read("err");
  return r;
}

std::string noise_rows(bool with_header, bool constant) {
  std::string text = with_header ? "Noise\nrows = 1024 columns = 1 rate = 1000.0 unit=Hz format =(f12.6)\n" : "";
  unsigned state = 2009;
  for (int i = 0; i < 1024; ++i) {
    state = state * 1103515245u + 12345u;
    char line[32];
    std::snprintf(line, sizeof line, "%12.6f\n", constant ? 1.0 : static_cast<double>((state >> 8) % 20000) / 10000.0 - 1.0);
    text += line;
  }
  return text;
}

std::string narrow_control(const std::string& datafile, const std::string& quantile) {
  return "Data file name =" + datafile + " *\nColumn number = 1 *\nSampling unit =Hz *\nLower freq = 100.0 *\n"
         "Upper freq = 300.0 *\n% taper = 0.0 *\nResolution bandwidth = 31.25 *\nNo whitening *\nstart = 1 *\n"
         "end = 0 *\nResamples = 0 *\nQuantile = " + quantile + " *\n#\n";
}

}  // namespace quorvel::testing

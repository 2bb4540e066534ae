#pragma once
// Shared set-up of the harnesses: a private working directory and a silent
// console, so that a harness can run the program's routines on real files.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "common/stop.hpp"
#include "common/units.hpp"
#include "input/top.hpp"

namespace fuzz {

// Moves into a fresh directory under /tmp (kept for the fuzzing session)
// and sends the console (unit 6) to /dev/null; notes on unit 0 stay on
// standard error only when QUORVEL_FUZZ_VERBOSE is set.
inline void enter_work_dir(const char* name) {
  std::string pattern = std::string("/tmp/quorvel-fuzz-") + name + "-XXXXXX";
  if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) std::abort();
  if (!std::getenv("QUORVEL_FUZZ_VERBOSE")) {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  }
}

// Runs one control file through the run routine, as the batch driver would,
// and closes every unit afterwards.
inline void run_control_file(const std::string& name) {
  quorvel::open_unit(quorvel::kErrorUnit, "Quorvel-error.out", quorvel::OpenStatus::Replace);
  if (quorvel::open_unit(quorvel::kControlUnit, name, quorvel::OpenStatus::Old) != 0) __builtin_trap();
  float run_timer = 0;
  try {
    quorvel::top(run_timer, 1, 1);
  } catch (const quorvel::Stop&) {
  }
  quorvel::close_all_units();
}

inline void write_file(const std::string& name, std::string_view content) {
  std::ofstream(name, std::ios::binary | std::ios::trunc).write(content.data(),
                                                                 static_cast<std::streamsize>(content.size()));
}

// A small table of `rows` rows of `cols` values, each in an F10.4 field.
inline std::string data_body(int rows, int cols) {
  std::string body;
  unsigned state = 12345;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      state = state * 1103515245u + 12345u;
      char field[32];
      std::snprintf(field, sizeof field, "%10.4f", static_cast<double>((state >> 8) % 20000) / 1000.0 - 10.0);
      body += field;
    }
    body += '\n';
  }
  return body;
}

}  // namespace fuzz

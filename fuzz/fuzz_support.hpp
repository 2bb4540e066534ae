#pragma once
// Shared set-up of the harnesses: a private working directory and a silent
// console, so that a harness can run the program's routines on real files.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace quorvel::fuzz {

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

}  // namespace quorvel::fuzz

#pragma once
// The orderly stop of the whole program. Every stop unwinds to main, which
// flushes and closes every open unit before the process ends.

namespace quorvel {

struct Stop {
  int status = 1;  // 1 after an error message, 0 for the silent ends
  int signal = 0;  // the signal that interrupted the program (status 128 + it)
};

[[noreturn]] inline void stop(int status = 1) { throw Stop{status}; }

}  // namespace quorvel

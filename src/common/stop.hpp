#pragma once
// The orderly stop of the whole program. Every stop unwinds to main, which
// flushes and closes every open unit before the process ends.

namespace quorvel {

// Why a run stopped, for a caller that answers in words of its own (the
// library) rather than with the message already written.
enum class StopCause {
  Error,      // a message was written: bad input or an internal check
  NoMemory,   // the run's work space could not be had
  Cancelled,  // the caller's cancel hook asked for it
};

struct Stop {
  int status = 1;  // 1 after an error message, 0 for the silent ends
  int signal = 0;  // the signal that interrupted the program (status 128 + it)
  StopCause cause = StopCause::Error;
};

[[noreturn]] inline void stop(int status = 1) { throw Stop{status}; }

// The stop after a "Unable to allocate work space ..." message.
[[noreturn]] inline void stop_for_memory() { throw Stop{1, 0, StopCause::NoMemory}; }

}  // namespace quorvel

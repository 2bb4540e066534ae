#pragma once
// How far the bootstrap of this thread's run has come, for whoever shows it
// (the command line draws a progress bar). Nothing is told when no one asked.
#include <functional>

namespace quorvel {

// Told `done` of `total` resamples after each round of shuffled passes.
using ProgressHook = std::function<void(int done, int total)>;

// Sets the hook of the calling thread; an empty hook ends it.
void set_progress_hook(ProgressHook hook);
void report_progress(int done, int total);

}  // namespace quorvel

#include "common/progress.hpp"

#include <utility>

namespace quorvel {
namespace {
// Per thread: runs on other threads (library calls) have hooks of their own.
thread_local ProgressHook hook;
}  // namespace

void set_progress_hook(ProgressHook h) { hook = std::move(h); }

void report_progress(int done, int total) {
  if (hook) hook(done, total);
}

}  // namespace quorvel

#include "common/threads.hpp"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace quorvel {
namespace {
int setting = 0;
thread_local int own_setting = 0;  // a library call's own thread count
}  // namespace

// The processors this process may run on (a process held to fewer cores
// than the machine has runs that many threads).
int worker_threads() {
  if (own_setting > 0) return own_setting;
  if (setting > 0) return setting;
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void set_worker_threads(int threads) { setting = std::max(threads, 0); }

void set_own_worker_threads(int threads) { own_setting = std::max(threads, 0); }

}  // namespace quorvel

#pragma once
// The number of threads the engine may use: the machine's hardware
// concurrency. There is no option for it; tests set it through the code to
// check that every thread count gives the same output.

#include <system_error>
#include <thread>
#include <vector>

namespace quorvel {

int worker_threads();
// 0 restores the machine's hardware concurrency.
void set_worker_threads(int threads);
// The same for the calling thread only (a library call); 0 ends it.
void set_own_worker_threads(int threads);

// Runs task(0) ... task(n - 1), task(0) on the calling thread and the others
// on threads of their own; a task whose thread cannot be started runs on the
// calling thread instead. Returns when all have finished.
template <class Task>
void run_parallel(int n, Task&& task) {
  std::vector<std::thread> started;
  std::vector<int> left_over;
  for (int i = 1; i < n; ++i) {
    try {
      started.emplace_back(task, i);
    } catch (const std::system_error&) {
      left_over.push_back(i);
    }
  }
  task(0);
  for (int i : left_over) task(i);
  for (std::thread& t : started) t.join();
}

}  // namespace quorvel

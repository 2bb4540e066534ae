#pragma once
// The number of threads the engine may use: the machine's hardware
// concurrency. There is no option for it; tests set it through the code to
// check that every thread count gives the same output.

namespace quorvel {

int worker_threads();
// 0 restores the machine's hardware concurrency.
void set_worker_threads(int threads);

}  // namespace quorvel

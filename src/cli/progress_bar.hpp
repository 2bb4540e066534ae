#pragma once
// A progress bar of the bootstrap on standard error, drawn only when
// standard error is a terminal: resample k of B, elapsed time, time left.
#include <chrono>
#include <string>

namespace quorvel::cli {

class ProgressBar {
 public:
  // Installs itself as this thread's progress hook; `label` names the run.
  explicit ProgressBar(std::string label, bool enabled = true);
  ~ProgressBar();  // clears the bar and removes the hook
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void set_label(std::string label) { label_ = std::move(label); }

 private:
  void show(int done, int total);
  void clear();

  std::string label_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_, last_draw_;
};

// "1:05" or "1:02:05".
std::string clock_text(double seconds);

}  // namespace quorvel::cli

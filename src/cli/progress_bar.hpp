#pragma once
// A progress bar of the bootstrap on standard error, drawn only when
// standard error is a terminal: the run's name, resample k of B, elapsed
// time, time left. A terminal without escape sequences (TERM unset, empty
// or dumb) gets the line redrawn with a carriage return and blanks only.
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
  bool escapes_ = false;
  std::size_t width_ = 0;  // of the line drawn last
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_, last_draw_;
};

// "1:05" or "1:02:05".
std::string clock_text(double seconds);

// True when a terminal of this TERM takes the escape that erases a line.
bool takes_escapes(const char* term);
// What draws `line` over a line `previous` characters wide (an empty line
// clears it): a carriage return, the line, then the erase escape or, without
// escapes, blanks over the rest of the previous line.
std::string redraw_text(const std::string& line, std::size_t previous, bool escapes);

}  // namespace quorvel::cli

#include "cli/progress_bar.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/progress.hpp"

namespace quorvel::cli {
namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
// Back to the start of the line; erase from the cursor to the line's end.
constexpr char kReturn[] = {'\r', 0};
constexpr char kEraseRest[] = {'\x1b', '[', 'K', 0};

}  // namespace

std::string clock_text(double seconds) {
  const int s = static_cast<int>(std::min(std::lround(std::max(seconds, 0.0)), 359999L * 1000));
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%d:%02d", s / 60, s % 60);
  }
  return text;
}

bool takes_escapes(const char* term) { return term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0; }

std::string redraw_text(const std::string& line, std::size_t previous, bool escapes) {
  if (escapes) return kReturn + line + kEraseRest;
  const std::size_t rest = previous > line.size() ? previous - line.size() : 0;
  return kReturn + line + std::string(rest, ' ') + (line.empty() ? kReturn : "");
}

ProgressBar::ProgressBar(std::string label, bool enabled) : label_(std::move(label)) {
  if (!enabled || !::isatty(STDERR_FILENO)) return;  // a log file gets no bar
  escapes_ = takes_escapes(std::getenv("TERM"));
  set_progress_hook([this](int done, int total) { show(done, total); });
}

ProgressBar::~ProgressBar() {
  set_progress_hook({});
  clear();
}

void ProgressBar::show(int done, int total) {
  const auto now = std::chrono::steady_clock::now();
  if (done == 0) start_ = now;
  if (done >= total) {
    clear();  // the bootstrap is over: the line is left clean for what follows
    return;
  }
  if (drawn_ && now - last_draw_ < kRedrawEvery) return;
  last_draw_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const int filled = total > 0 ? static_cast<int>(static_cast<long long>(done) * kBarWidth / total) : 0;
  std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
  std::string left = done > 0 ? clock_text(elapsed / done * (total - done)) : "?";
  const std::string line = label_ + " bootstrap [" + bar + "] resample " + std::to_string(done) + " of " +
                           std::to_string(total) + "  elapsed " + clock_text(elapsed) + "  left " + left;
  std::fputs(redraw_text(line, width_, escapes_).c_str(), stderr);
  std::fflush(stderr);
  width_ = line.size();
  drawn_ = true;
}

void ProgressBar::clear() {
  if (!drawn_) return;
  std::fputs(redraw_text("", width_, escapes_).c_str(), stderr);
  std::fflush(stderr);
  width_ = 0;
  drawn_ = false;
}

}  // namespace quorvel::cli

#pragma once
// The notices of a run as data: a stable code and a sentence in words. The
// pipeline posts one wherever it writes a notice line of its own; whoever
// runs it and wants them (the library, the batch's JSON) captures the posts
// of its thread. Nobody reads them back from the lines.
#include <string>
#include <vector>

namespace quorvel {

struct Diagnostic {
  std::string code;  // stable: "consistency", "low_count", ...
  std::string text;  // one sentence, without the batch's layout
};

// Adds a notice to this thread's capture; nothing happens without one.
void post_diagnostic(std::string code, std::string text);

// Captures this thread's notices into `to` while it lives, then puts back
// the capture that was there before (however the scope is left).
class DiagnosticCapture {
 public:
  explicit DiagnosticCapture(std::vector<Diagnostic>& to);
  ~DiagnosticCapture();
  DiagnosticCapture(const DiagnosticCapture&) = delete;
  DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

 private:
  std::vector<Diagnostic>* before_;
};

}  // namespace quorvel

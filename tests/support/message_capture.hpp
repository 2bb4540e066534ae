#pragma once
// Collects the records written on this thread while it lives, in place of
// the units; the capture ends however the test leaves the scope (a stop
// of the code under test included).
#include <string>
#include <vector>

#include "common/record_writer.hpp"
#include "common/units.hpp"

namespace quorvel::testing {

class MessageCapture {
 public:
  MessageCapture() : capture_(records_) {}
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  const std::vector<CapturedRecord>& records() const { return records_; }
  // The texts of the records written on `unit`.
  std::vector<std::string> on(int unit) const {
    std::vector<std::string> texts;
    for (const auto& r : records_)
      if (r.unit == unit) texts.push_back(r.text);
    return texts;
  }

 private:
  std::vector<CapturedRecord> records_;
  RecordCapture capture_;
};

}  // namespace quorvel::testing

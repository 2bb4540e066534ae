#pragma once
// Collects the records written while it lives, in place of the units.
#include <string>
#include <vector>

#include "common/record_writer.hpp"
#include "common/units.hpp"

namespace quorvel::testing {

class MessageCapture {
 public:
  MessageCapture() { capture_records(&records_); }
  ~MessageCapture() { capture_records(nullptr); }
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
};

}  // namespace quorvel::testing

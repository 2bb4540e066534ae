#pragma once
// The processor-time and date services.
#include <string>

namespace quorvel {

// The processor time used by the process so far, in seconds.
float processor_time();

// The local date and time in the 24-character layout
// "Tue Oct  7 14:05:09 2009".
std::string date_time_24();

}  // namespace quorvel

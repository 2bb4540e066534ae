#include "common/clock.hpp"

#include <ctime>

namespace quorvel {

float processor_time() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<float>(static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec));
}

std::string date_time_24() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y", &local);
  return std::string(buf).substr(0, 24);
}

}  // namespace quorvel

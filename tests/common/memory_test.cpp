// The memory guard counts what is still available, not the machine's size.
#include "common/memory.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace quorvel {
namespace {

double mem_available() {
  std::ifstream info("/proc/meminfo");
  std::string key;
  double kib = 0;
  while (info >> key >> kib) {
    if (key == "MemAvailable:") return kib * 1024.0;
    info.ignore(256, '\n');
  }
  return -1;
}

TEST(Memory, GuardStaysWithinTheAvailableMemory) {
  const double available = mem_available();
  ASSERT_GT(available, 0);
  EXPECT_TRUE(fits_in_memory(1 << 20));
  EXPECT_FALSE(fits_in_memory(available * 1.5));
  EXPECT_FALSE(fits_in_memory(-1.0));
  EXPECT_FALSE(fits_in_memory(1e300));
}

}  // namespace
}  // namespace quorvel

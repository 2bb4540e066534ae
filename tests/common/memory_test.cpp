// The memory guard counts what is still available, not the machine's size.
#include "common/memory.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(Memory, GuardStaysWithinTheAvailableMemory) {
  const double available = available_memory();
  ASSERT_GT(available, 0);
  EXPECT_TRUE(fits_in_memory(1 << 20));
  EXPECT_FALSE(fits_in_memory(available * 1.5));
  EXPECT_FALSE(fits_in_memory(-1.0));
  EXPECT_FALSE(fits_in_memory(1e300));
}

}  // namespace
}  // namespace quorvel

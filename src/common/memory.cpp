#include "common/memory.hpp"

#include <unistd.h>

namespace quorvel {

bool fits_in_memory(double bytes) {
  const long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return bytes < 1e12;
  return bytes >= 0 && bytes < 0.9 * static_cast<double>(pages) * static_cast<double>(page_size);
}

}  // namespace quorvel

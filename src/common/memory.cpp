#include "common/memory.hpp"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace quorvel {
namespace {

// A number of bytes from a file of one value ("max" and unreadable files
// give none: no limit there).
double bytes_in(const std::string& path) {
  std::ifstream in(path);
  double value = -1;
  if (!(in >> value) || value < 0) return -1;
  return value;
}

// What the process's memory control group still allows: its limit less its
// use, the smallest over the groups found (cgroup v2, and v1's memory
// controller); -1 when there is no limit.
double cgroup_room() {
  double room = -1;
  auto consider = [&room](const std::string& limit_file, const std::string& usage_file) {
    const double limit = bytes_in(limit_file);
    if (limit < 0 || limit >= 1e18) return;  // v1 writes "no limit" as a huge number
    const double used = std::max(bytes_in(usage_file), 0.0);
    const double left = std::max(limit - used, 0.0);
    room = room < 0 ? left : std::min(room, left);
  };
  std::ifstream groups("/proc/self/cgroup");
  std::string line;
  while (std::getline(groups, line)) {
    const std::size_t first = line.find(':'), second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    std::string path = line.substr(second + 1);
    if (path == "/") path.clear();
    if (controllers.empty()) {
      consider("/sys/fs/cgroup" + path + "/memory.max", "/sys/fs/cgroup" + path + "/memory.current");
    } else if (controllers == "memory") {
      consider("/sys/fs/cgroup/memory" + path + "/memory.limit_in_bytes",
               "/sys/fs/cgroup/memory" + path + "/memory.usage_in_bytes");
    }
  }
  // Inside a container the group is often mounted as the root itself.
  consider("/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory.current");
  consider("/sys/fs/cgroup/memory/memory.limit_in_bytes", "/sys/fs/cgroup/memory/memory.usage_in_bytes");
  return room;
}

}  // namespace

// The memory the system can still give without swapping (MemAvailable);
// -1 when it does not say.
double available_memory() {
  std::ifstream info("/proc/meminfo");
  std::string key;
  double kib = 0;
  while (info >> key >> kib) {
    if (key == "MemAvailable:") return kib * 1024.0;
    info.ignore(256, '\n');
  }
  return -1;
}

bool fits_in_memory(double bytes) {
  if (!(bytes >= 0)) return false;
  double room = available_memory();
  if (double group = cgroup_room(); group >= 0) room = room < 0 ? group : std::min(room, group);
  if (room < 0) {
    const long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page_size <= 0) return bytes < 1e12;
    room = 0.9 * static_cast<double>(pages) * static_cast<double>(page_size);
  }
  return bytes < room;
}

}  // namespace quorvel

#pragma once
// Units kept in memory for the calling thread: a run of the library opens,
// reads and writes its files as texts held here, and its console records
// go nowhere, so that nothing touches the file system or the process's
// streams and two threads never share a unit.
#include <map>
#include <string>

#include "common/units.hpp"

namespace quorvel {

struct MemoryFiles {
  std::map<std::string, std::string> files;  // by name: what was given or written

  struct OpenUnit {
    std::string name;
    bool reading = false;
    std::size_t position = 0;  // next character to read
  };
  std::map<int, OpenUnit> units;
};

// Keeps this thread's units in `files` until called with nullptr.
void keep_units_in_memory(MemoryFiles* files);
// This thread's in-memory units, or nullptr when the units are the files.
MemoryFiles* memory_files();

// The unit operations on the in-memory units (used by the unit table).
int memory_open(MemoryFiles& m, int unit, std::string_view name, OpenStatus status);
void memory_close(MemoryFiles& m, int unit);
void memory_rewind(MemoryFiles& m, int unit);
bool memory_file_exists(const MemoryFiles& m, std::string_view name);
void memory_write(MemoryFiles& m, int unit, std::string_view record);
int memory_read(MemoryFiles& m, int unit, std::string& record);

}  // namespace quorvel

#include "common/memory_units.hpp"

#include <cerrno>

namespace quorvel {
namespace {

thread_local MemoryFiles* active = nullptr;

std::string trimmed_name(std::string_view name) {
  std::size_t end = name.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1));
}

}  // namespace

void keep_units_in_memory(MemoryFiles* files) { active = files; }

MemoryFiles* memory_files() { return active; }

int memory_open(MemoryFiles& m, int unit, std::string_view name, OpenStatus status) {
  m.units.erase(unit);
  std::string path = trimmed_name(name);
  if (path.empty()) return ENOENT;
  if (status == OpenStatus::Old) {
    if (m.files.count(path) == 0) return ENOENT;
  } else {
    m.files[path].clear();
  }
  m.units[unit] = MemoryFiles::OpenUnit{path, status == OpenStatus::Old, 0};
  return 0;
}

void memory_close(MemoryFiles& m, int unit) { m.units.erase(unit); }

void memory_rewind(MemoryFiles& m, int unit) {
  if (auto it = m.units.find(unit); it != m.units.end()) it->second.position = 0;
}

bool memory_file_exists(const MemoryFiles& m, std::string_view name) {
  std::string path = trimmed_name(name);
  return !path.empty() && m.files.count(path) != 0;
}

void memory_write(MemoryFiles& m, int unit, std::string_view record) {
  if (unit == kConsoleUnit || unit == kNoteUnit) return;  // the caller gets its notices as data
  auto it = m.units.find(unit);
  if (it == m.units.end() || it->second.reading) return;  // as a unit that is not open
  std::string& text = m.files[it->second.name];
  text.append(record);
  text.push_back('\n');
}

int memory_read(MemoryFiles& m, int unit, std::string& record) {
  record.clear();
  auto it = m.units.find(unit);
  if (it == m.units.end() || !it->second.reading) return EBADF;
  const std::string& text = m.files[it->second.name];
  std::size_t& at = it->second.position;
  if (at >= text.size()) return kEndOfFile;
  std::size_t end = text.find('\n', at);
  if (end == std::string::npos) end = text.size();
  if (end - at > kMaxRecordLength) {
    record.assign(text, at, kMaxRecordLength);
    at = end + 1;
    return kRecordTooLong;
  }
  record.assign(text, at, end - at);
  at = end + 1;
  if (!record.empty() && record.back() == '\r') record.pop_back();
  return 0;
}

}  // namespace quorvel

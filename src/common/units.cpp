#include "common/units.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>

namespace quorvel {
namespace {

struct FileUnit {
  std::FILE* file = nullptr;
  bool reading = false;
};

std::map<int, FileUnit>& table() {
  static std::map<int, FileUnit> units;
  return units;
}

thread_local std::vector<CapturedRecord>* capture_buffer = nullptr;

std::string trimmed_name(std::string_view name) {
  std::size_t end = name.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1));
}

std::FILE* stream_of(int unit) {
  if (unit == kConsoleUnit) return stdout;
  if (unit == kNoteUnit) return stderr;
  auto it = table().find(unit);
  return it == table().end() ? nullptr : it->second.file;
}

}  // namespace

int open_unit(int unit, std::string_view name, OpenStatus status) {
  close_unit(unit);
  std::string path = trimmed_name(name);
  if (path.empty()) return ENOENT;
  struct stat st {};
  bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return EISDIR;
  if (status == OpenStatus::Old && !exists) return ENOENT;
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), status == OpenStatus::Old ? "rb" : "wb");
  if (!f) return errno ? errno : EIO;
  table()[unit] = FileUnit{f, status == OpenStatus::Old};
  return 0;
}

void close_unit(int unit) {
  auto it = table().find(unit);
  if (it == table().end()) return;
  if (it->second.file) std::fclose(it->second.file);
  table().erase(it);
}

void rewind_unit(int unit) {
  if (std::FILE* f = stream_of(unit); f && f != stdout && f != stderr) {
    std::rewind(f);
  }
}

void flush_unit(int unit) {
  if (std::FILE* f = stream_of(unit)) std::fflush(f);
}

void flush_all_units() {
  for (auto& [unit, u] : table()) std::fflush(u.file);
  std::fflush(stdout);
  std::fflush(stderr);
}

void close_all_units() {
  while (!table().empty()) close_unit(table().begin()->first);
  std::fflush(stdout);
  std::fflush(stderr);
}

bool is_open(int unit) { return table().count(unit) != 0; }

bool file_exists(std::string_view name) {
  std::string path = trimmed_name(name);
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

void capture_records(std::vector<CapturedRecord>* buffer) { capture_buffer = buffer; }

void write_record(int unit, std::string_view record) {
  if (capture_buffer) {
    capture_buffer->push_back({unit, std::string(record)});
    return;
  }
  std::FILE* f = stream_of(unit);
  if (!f) return;
  std::fwrite(record.data(), 1, record.size(), f);
  std::fputc('\n', f);
}

int read_record(int unit, std::string& record) {
  record.clear();
  auto it = table().find(unit);
  if (it == table().end() || !it->second.reading) return EBADF;
  std::FILE* f = it->second.file;
  int c = std::getc(f);
  if (c == EOF) return std::ferror(f) ? EIO : kEndOfFile;
  while (c != EOF && c != '\n') {
    record.push_back(static_cast<char>(c));
    c = std::getc(f);
  }
  if (c == EOF && std::ferror(f)) return EIO;
  if (!record.empty() && record.back() == '\r') record.pop_back();
  return 0;
}

int read_fixed(int unit, std::size_t length, std::string& text) {
  int status = read_record(unit, text);
  text.resize(length, ' ');
  if (status != 0) text.assign(length, ' ');
  return status;
}

}  // namespace quorvel

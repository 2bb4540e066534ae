#include "common/units.hpp"

#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "common/memory_units.hpp"
#include "common/interrupt.hpp"
#include "common/stop.hpp"

namespace quorvel {
namespace {

// An open file of a unit; an output's `temp` is its temporary file until
// it is put in place (the output rule, common/output_file.hpp).
struct FileUnit {
  OutputFile f;
  bool reading = false;
};

std::map<int, FileUnit>& table() {
  static std::map<int, FileUnit> units;
  return units;
}

thread_local std::vector<CapturedRecord>* capture_buffer = nullptr;
std::vector<CapturedRecord>* record_copies = nullptr;
bool write_failure_seen = false;

// The units whose files no output may replace.
bool is_input_unit(int unit) {
  return unit == kListUnit || unit == kErrorUnit || unit == kControlUnit || unit == kDataUnit;
}

// Forgets a unit whose file is closed (or was never opened).
void forget(std::map<int, FileUnit>::iterator it) {
  unprotect_input(it->first);
  table().erase(it);
}

std::string trimmed_name(std::string_view name) {
  std::size_t end = name.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1));
}

// The console units. A host that owns the console (the R package) builds
// with QUORVEL_HOSTED_CONSOLE: its calls run on memory files, whose console
// units take the notices as data, so these streams are never written there.
#ifdef QUORVEL_HOSTED_CONSOLE
std::FILE* console_stream() { return nullptr; }
std::FILE* note_stream() { return nullptr; }
#else
std::FILE* console_stream() { return stdout; }
std::FILE* note_stream() { return stderr; }
#endif

// Flushes the console units (std::fflush(nullptr) would flush every stream).
void flush_console() {
  if (std::FILE* f = console_stream()) std::fflush(f);
  if (std::FILE* f = note_stream()) std::fflush(f);
}

std::FILE* stream_of(int unit) {
  if (unit == kConsoleUnit) return console_stream();
  if (unit == kNoteUnit) return note_stream();
  auto it = table().find(unit);
  return it == table().end() ? nullptr : it->second.f.file;
}

// Writes text and a newline; false when the stream reports an error.
bool put_line(std::FILE* f, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputc('\n', f);
  return !std::ferror(f);
}

// A failed write of a file unit: the unit is dropped without its unwritten
// rest (a later flush must not append to a file that already lacks a part),
// and the failure goes to the console and, unless it is the one that
// failed, the error file. True when the program must stop: every file
// but the error file is a run's input or output.
bool report_write_failure(int unit, int status) {
  auto it = table().find(unit);
  if (it == table().end()) return false;
  std::string name = it->second.f.name;
  // A staged file that failed is never put in place: the earlier file of
  // the name stays as it was.
  discard_output(it->second.f);
  forget(it);
  write_failure_seen = true;

  std::string message = " **** Error on writing " + name + " " + std::to_string(status) + " " +
                        (status > 0 ? std::strerror(status) : "write error");
  if (std::FILE* console = console_stream()) {
    put_line(console, message);
    std::fflush(console);
  }
  if (record_copies) record_copies->push_back({kConsoleUnit, message});
  if (unit != kErrorUnit) {
    if (std::FILE* error_file = stream_of(kErrorUnit)) {
      if (!put_line(error_file, message) || std::fflush(error_file) != 0) {
        report_write_failure(kErrorUnit, errno ? errno : EIO);
      }
    }
  }
  return unit != kErrorUnit;
}

// Flushes a file unit; reports a failure as a failed write.
bool flush_checked(int unit, bool& must_stop) {
  auto it = table().find(unit);
  if (it == table().end() || it->second.reading) return true;
  errno = 0;
  if (std::fflush(it->second.f.file) == 0 && !std::ferror(it->second.f.file)) return true;
  must_stop = report_write_failure(unit, errno ? errno : EIO) || must_stop;
  return false;
}

}  // namespace

bool output_failed() { return write_failure_seen; }

bool same_file(std::string_view a, std::string_view b) {
  struct stat sa {}, sb {};
  return ::stat(trimmed_name(a).c_str(), &sa) == 0 && ::stat(trimmed_name(b).c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int open_unit(int unit, std::string_view name, OpenStatus status) {
  if (MemoryFiles* m = memory_files()) return memory_open(*m, unit, name, status);
  close_unit(unit);
  std::string path = trimmed_name(name);
  if (path.empty()) return ENOENT;
  OutputFile f;
  if (status == OpenStatus::Old) {
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return EISDIR;
    if (!exists) return ENOENT;
    errno = 0;
    f.file = std::fopen(path.c_str(), "rb");
    if (!f.file) return errno ? errno : EIO;
    f.name = path;
  } else {
    // Replace puts the new file in place at once: an earlier file of the
    // name (or one it is linked to) is replaced, never emptied.
    if (int s = create_output(path, f); s != 0) return s;
    if (status == OpenStatus::Replace) {
      if (int s = place_output(f); s != 0) return s;
    }
  }
  // The error file is written a line at a time: its messages are on disk
  // however the program ends, and a failure shows at the message itself.
  if (unit == kErrorUnit) std::setvbuf(f.file, nullptr, _IOLBF, BUFSIZ);
  if (is_input_unit(unit)) protect_input(unit, fileno(f.file), path);
  table()[unit] = FileUnit{f, status == OpenStatus::Old};
  return 0;
}

void close_unit(int unit) {
  if (MemoryFiles* m = memory_files()) return memory_close(*m, unit);
  bool must_stop = false;
  if (!flush_checked(unit, must_stop)) {
    if (must_stop) stop();
    return;
  }
  auto it = table().find(unit);
  if (it == table().end()) return;
  if (!it->second.f.temp.empty()) {
    commit_unit(unit);
    return;
  }
  std::fclose(it->second.f.file);
  forget(it);
}

void commit_unit(int unit) {
  bool must_stop = false;
  if (!flush_checked(unit, must_stop)) {
    if (must_stop) stop();
    return;
  }
  auto it = table().find(unit);
  if (it == table().end() || it->second.f.temp.empty()) return;
  if (int status = commit_output(it->second.f); status != 0) {
    if (report_write_failure(unit, status)) stop();
    return;
  }
  forget(it);
}

void discard_unit(int unit) {
  auto it = table().find(unit);
  if (it == table().end()) return;
  discard_output(it->second.f);
  forget(it);
}

void discard_staged_units() {
  std::vector<int> staged;
  for (auto& [unit, u] : table()) {
    if (!u.f.temp.empty()) staged.push_back(unit);
  }
  for (int unit : staged) discard_unit(unit);
}

void rewind_unit(int unit) {
  if (MemoryFiles* m = memory_files()) return memory_rewind(*m, unit);
  if (std::FILE* f = stream_of(unit); f && f != console_stream() && f != note_stream()) {
    std::rewind(f);
  }
}

void flush_unit(int unit) {
  if (memory_files()) return;
  if (unit == kConsoleUnit || unit == kNoteUnit) {
    if (std::FILE* f = stream_of(unit)) std::fflush(f);
    return;
  }
  bool must_stop = false;
  if (!flush_checked(unit, must_stop) && must_stop) stop();
}

bool flush_all_units() {
  bool ok = true, must_stop = false;
  // The error file last, so that it can take the others' failures.
  std::vector<int> units;
  for (auto& [unit, u] : table()) {
    if (unit != kErrorUnit) units.push_back(unit);
  }
  units.push_back(kErrorUnit);
  for (int unit : units) ok = flush_checked(unit, must_stop) && ok;
  flush_console();
  return ok;
}

bool close_all_units() {
  bool ok = flush_all_units();
  // Staged units go in place first, so that a failure can still be told
  // in the error file.
  std::vector<int> staged;
  for (auto& [unit, u] : table()) {
    if (!u.f.temp.empty()) staged.push_back(unit);
  }
  for (int unit : staged) {
    auto it = table().find(unit);
    if (int status = commit_output(it->second.f); status != 0) {
      report_write_failure(unit, status);
      ok = false;
    } else {
      forget(it);
    }
  }
  for (auto& [unit, u] : table()) {
    std::fclose(u.f.file);
    unprotect_input(unit);
  }
  table().clear();
  flush_console();
  return ok && !write_failure_seen;
}

bool is_open(int unit) {
  if (MemoryFiles* m = memory_files()) return m->units.count(unit) != 0;
  return table().count(unit) != 0;
}

std::string unit_file_name(int unit) {
  auto it = table().find(unit);
  return it == table().end() ? std::string() : it->second.f.name;
}

bool file_exists(std::string_view name) {
  if (MemoryFiles* m = memory_files()) return memory_file_exists(*m, name);
  std::string path = trimmed_name(name);
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::vector<CapturedRecord>* capture_records(std::vector<CapturedRecord>* buffer) {
  return std::exchange(capture_buffer, buffer);
}

std::vector<CapturedRecord>* copy_records(std::vector<CapturedRecord>* copies) {
  return std::exchange(record_copies, copies);
}

void write_record(int unit, std::string_view record) {
  if (capture_buffer) {
    capture_buffer->push_back({unit, std::string(record)});
    return;
  }
  if (MemoryFiles* m = memory_files()) return memory_write(*m, unit, record);
  check_interrupt();
  std::FILE* f = stream_of(unit);
  if (!f) return;
  if (record_copies && (unit == kConsoleUnit || unit == kReportUnit)) {
    record_copies->push_back({unit, std::string(record)});
  }
  errno = 0;
  if (put_line(f, record)) return;
  if (f == console_stream() || f == note_stream()) {
    std::clearerr(f);
    return;
  }
  if (report_write_failure(unit, errno ? errno : EIO)) stop();
}

int read_record(int unit, std::string& record) {
  if (MemoryFiles* m = memory_files()) return memory_read(*m, unit, record);
  record.clear();
  auto it = table().find(unit);
  if (it == table().end() || !it->second.reading) return EBADF;
  std::FILE* f = it->second.f.file;
  int c = std::getc(f);
  if (c == EOF) return std::ferror(f) ? EIO : kEndOfFile;
  while (c != EOF && c != '\n') {
    // A "line" without end (a device, a binary file) must not take all memory.
    if (record.size() >= kMaxRecordLength) return kRecordTooLong;
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

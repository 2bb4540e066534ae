#include "common/output_file.hpp"

#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

namespace quorvel {
namespace {

struct Input {
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;
};

std::map<int, Input>& inputs_by_key() {
  static std::map<int, Input> inputs;
  return inputs;
}

std::vector<Input>& invocation_inputs() {
  static std::vector<Input> inputs;
  return inputs;
}

std::string last_refusal;

}  // namespace

void protect_input(int key, int fd, const std::string& name) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return;
  inputs_by_key()[key] = Input{st.st_dev, st.st_ino, name};
}

void unprotect_input(int key) { inputs_by_key().erase(key); }

void protect_input_file(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) invocation_inputs().push_back(Input{st.st_dev, st.st_ino, name});
}

void unprotect_all_inputs() {
  inputs_by_key().clear();
  invocation_inputs().clear();
}

std::string refusal_reason() { return last_refusal; }

std::string output_failure_text(int status) {
  if (status == kNotARegularFile || status == kSameAsAnInput) return last_refusal;
  return status > 0 ? std::strerror(status) : "write error";
}

int output_refusal(const std::string& path) {
  struct stat st {};
  // The link's target decides: a link to a FIFO or to an input is refused
  // like the FIFO or the input itself.
  if (::stat(path.c_str(), &st) != 0) return 0;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) {
    last_refusal = path + " is not a regular file";
    return kNotARegularFile;
  }
  auto same = [&](const Input& in) { return in.device == st.st_dev && in.inode == st.st_ino; };
  for (const auto& [key, in] : inputs_by_key()) {
    if (same(in)) {
      last_refusal = path + " is the same file as " + in.name;
      return kSameAsAnInput;
    }
  }
  for (const Input& in : invocation_inputs()) {
    if (same(in)) {
      last_refusal = path + " is the same file as " + in.name;
      return kSameAsAnInput;
    }
  }
  return 0;
}

int create_output(const std::string& path, OutputFile& out) {
  out = OutputFile{};
  if (int refused = output_refusal(path); refused != 0) return refused;
  std::string temp = path + ".XXXXXX";
  errno = 0;
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return errno ? errno : EIO;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    const int e = errno ? errno : EIO;
    ::close(fd);
    ::unlink(temp.c_str());
    return e;
  }
  out = OutputFile{f, path, temp};
  return 0;
}

int place_output(OutputFile& out) {
  errno = 0;
  if (::rename(out.temp.c_str(), out.name.c_str()) != 0) {
    const int e = errno ? errno : EIO;
    discard_output(out);
    return e;
  }
  out.temp.clear();
  return 0;
}

int commit_output(OutputFile& out) {
  int status = 0;
  errno = 0;
  if (std::fflush(out.file) != 0 || std::ferror(out.file)) status = errno ? errno : EIO;
  errno = 0;
  if (std::fclose(out.file) != 0 && status == 0) status = errno ? errno : EIO;
  out.file = nullptr;
  errno = 0;
  if (status == 0 && !out.temp.empty() && ::rename(out.temp.c_str(), out.name.c_str()) != 0) {
    status = errno ? errno : EIO;
  }
  if (status != 0 && !out.temp.empty()) ::unlink(out.temp.c_str());
  out.temp.clear();
  return status;
}

void discard_output(OutputFile& out) {
  if (out.file) {
    __fpurge(out.file);
    std::fclose(out.file);
  }
  if (!out.temp.empty()) ::unlink(out.temp.c_str());
  out = OutputFile{};
}

int write_output_file(const std::string& path, std::string_view text) {
  OutputFile out;
  if (int status = create_output(path, out); status != 0) return status;
  std::fwrite(text.data(), 1, text.size(), out.file);
  return commit_output(out);
}

}  // namespace quorvel

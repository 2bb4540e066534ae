#pragma once
// The one rule for every file the program writes: reports, value files,
// the error file, the batch's JSON and summary, the command line's outputs.
//
// Nothing is ever written into a file that exists. An output is written
// under a unique temporary name beside its name (the name, "." and six
// characters, in the same folder) and renamed into place: a link at the
// name is replaced, never written through, and a file with another name
// (a hard link) keeps its content under that other name. Refused outright
// are a name held by a folder, a FIFO or a device, or a link to one (status
// kNotARegularFile; nothing blocks on a FIFO), and a name that is one of
// the inputs, also through a link or a hard link (kSameAsAnInput).
#include <cstdio>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr int kNotARegularFile = -2;  // an output path held by a folder, FIFO, device
inline constexpr int kSameAsAnInput = -3;    // an output path that is one of the inputs

// The inputs that no output may replace. The unit table keeps the files
// open on its input units here (`key` is the unit, `fd` its descriptor);
// the command line adds the files of its invocation for good.
void protect_input(int key, int fd, const std::string& name);
void unprotect_input(int key);
void protect_input_file(const std::string& name);
void unprotect_all_inputs();

// 0 when an output may be written at `path`; else EISDIR, kNotARegularFile
// or kSameAsAnInput, and refusal_reason() says why in words.
int output_refusal(const std::string& path);
std::string refusal_reason();
// The words for a status of these routines: the refusal or the errno's text.
std::string output_failure_text(int status);

// An output being written: `file` is open on `temp` until it is put in place.
struct OutputFile {
  std::FILE* file = nullptr;
  std::string name;  // the name it is put in place under
  std::string temp;  // its temporary name; empty once in place
};

// Opens `out` on a new temporary file beside `path`, with the permissions a
// plain create would give. Returns 0, a refusal or the errno.
int create_output(const std::string& path, OutputFile& out);
// Renames the temporary file into place and keeps it open for writing (the
// error file: what it holds is in place however the program ends).
int place_output(OutputFile& out);
// Flushes and closes the file and puts it in place; 0 or the errno. On a
// failure nothing is put in place and the temporary file is removed.
int commit_output(OutputFile& out);
// Closes the file without its unwritten rest and removes the temporary
// file: an earlier file of the name stays as it was.
void discard_output(OutputFile& out);
// `text` as the whole of the file `path`, under the rule; 0 or the status.
int write_output_file(const std::string& path, std::string_view text);

}  // namespace quorvel

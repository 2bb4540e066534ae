#pragma once
// The unit table: the program's logical units, opened by name, read and
// written as records. Unit 6 is standard output, unit 0 standard error.
#include <string>
#include <string_view>
#include <vector>

#include "common/output_file.hpp"

namespace quorvel {

enum Unit : int {
  kNoteUnit = 0,     // console notes of the numeric field readers
  kListUnit = 1,     // batch list file
  kDataUnit = 2,     // data file
  kReportUnit = 3,   // run report
  kNegUnit = 4,      // value file for k3 < 0
  kConsoleUnit = 6,  // console
  kPosUnit = 7,      // value file for k3 > 0
  kErrorUnit = 9,    // error file
  kControlUnit = 11, // current run control file
};

// I/O status codes, as the Fortran runtime reports them.
inline constexpr int kEndOfFile = -1;
inline constexpr int kReadValueError = 5010;  // bad character in a field
inline constexpr int kFormatError = 5006;     // a format that cannot be parsed
inline constexpr int kNameTooLong = -1;       // a file name we refuse to cut
inline constexpr int kRecordTooLong = 5016;   // a record beyond kMaxRecordLength
inline constexpr std::size_t kMaxRecordLength = std::size_t{16} << 20;

// Old: the file must exist and is read. Both outputs follow the output
// rule (common/output_file.hpp): a new file under a temporary name beside
// the name. Replace puts it in place at once and is then written (what it
// holds is there however the program ends); Staged puts it in place at
// commit_unit, so that the file of the name is only ever replaced whole.
enum class OpenStatus { Old, Replace, Staged };

// Opens `unit` on the file `name` (trailing blanks are not part of the
// name), closing what the unit had open. Returns 0 or an I/O status code
// (errno of the failed open; a directory is refused). An output (Replace,
// Staged) is refused when its path exists and is not a regular file
// (kNotARegularFile), or is the same file as the batch list, the error
// file, the control file or the data file open on their units, or an
// input of the invocation (kSameAsAnInput); refusal_reason() then says
// why in words.
int open_unit(int unit, std::string_view name, OpenStatus status);
// True when both names exist and are one file (device and inode).
bool same_file(std::string_view a, std::string_view b);
// Closes a unit; what it had buffered is written first (a failure there
// is a failed write, below). A staged unit is put in place.
void close_unit(int unit);
// A staged unit: commit puts it in place under its name (a failure is a
// failed write); discard removes its temporary file, leaving any earlier
// file of the name as it was.
void commit_unit(int unit);
void discard_unit(int unit);
void discard_staged_units();
void rewind_unit(int unit);
void flush_unit(int unit);
// Flush and close without stopping, for the program's end: a failure is
// reported on the console and in the error file, and the result is false.
bool flush_all_units();
bool close_all_units();
bool is_open(int unit);
// The name of the file a unit has open ("" for none or a console unit).
std::string unit_file_name(int unit);
bool file_exists(std::string_view name);

// Writes one record (a newline is added). Writing on a unit that is not
// open is ignored. A write, flush or close of a file unit that fails (a
// full disk, a file size limit, an I/O error) is never passed over:
// "**** Error on writing <file> <status> <reason>" goes to the console and
// the error file, the unit is closed with its unwritten rest dropped (so
// nothing is appended to it later), and the program stops (quorvel::Stop,
// exit status 1). A failing error file is reported on the console and then
// dropped; the batch goes on and ends with exit status 1. Failures of the
// console streams themselves are not reported (there is nowhere to).
void write_record(int unit, std::string_view record);

// True once a write of any file unit has failed in this program run.
bool output_failed();

// Reads the next record of a unit opened for reading, without its newline
// and without the carriage return of a CRLF line. Returns 0, kEndOfFile,
// kRecordTooLong (the record is cut there) or an error status.
int read_record(int unit, std::string& record);

// Reads the next record as a fixed-length text of `length` characters:
// longer lines are cut, shorter ones padded with blanks.
int read_fixed(int unit, std::size_t length, std::string& text);

// Redirects the records written by this thread into a buffer (used by
// worker threads so that their messages land in order). nullptr ends it.
// Returns the buffer that was capturing before.
struct CapturedRecord {
  int unit;
  std::string text;
};
std::vector<CapturedRecord>* capture_records(std::vector<CapturedRecord>* buffer);

// Keeps a copy of every record written on the console (unit 6) and the
// report (unit 3) from here on in `copies`, which nullptr ends; returns the
// one that was there before. The batch takes a run's messages from it.
std::vector<CapturedRecord>* copy_records(std::vector<CapturedRecord>* copies);

// Captures this thread's records into `buffer` while it lives; however the
// scope is left (a stop included), the capture that was there before comes
// back, so no writer is left pointing at a buffer that is gone.
class RecordCapture {
 public:
  explicit RecordCapture(std::vector<CapturedRecord>& buffer) : before_(capture_records(&buffer)) {}
  ~RecordCapture() { capture_records(before_); }
  RecordCapture(const RecordCapture&) = delete;
  RecordCapture& operator=(const RecordCapture&) = delete;

 private:
  std::vector<CapturedRecord>* before_;
};

}  // namespace quorvel

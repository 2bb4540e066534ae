#pragma once
// The unit table: the program's logical units, opened by name, read and
// written as records. Unit 6 is standard output, unit 0 standard error.
#include <string>
#include <string_view>
#include <vector>

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

enum class OpenStatus { Old, Replace };

// Opens `unit` on the file `name` (trailing blanks are not part of the
// name), closing what the unit had open. Old: the file must exist and is
// read; Replace: the file is created or emptied and written. Returns 0 or
// an I/O status code (errno of the failed open; a directory is refused).
int open_unit(int unit, std::string_view name, OpenStatus status);
void close_unit(int unit);
void rewind_unit(int unit);
void flush_unit(int unit);
void flush_all_units();
void close_all_units();
bool is_open(int unit);
bool file_exists(std::string_view name);

// Writes one record (a newline is added). Writing on a unit that is not
// open is ignored, as is a write that fails once the file system is full.
void write_record(int unit, std::string_view record);

// Reads the next record of a unit opened for reading, without its newline
// and without the carriage return of a CRLF line. Returns 0, kEndOfFile,
// or an error status.
int read_record(int unit, std::string& record);

// Reads the next record as a fixed-length text of `length` characters:
// longer lines are cut, shorter ones padded with blanks.
int read_fixed(int unit, std::size_t length, std::string& text);

// Redirects the records written by this thread into a buffer (used by
// worker threads so that their messages land in order). nullptr ends it.
struct CapturedRecord {
  int unit;
  std::string text;
};
void capture_records(std::vector<CapturedRecord>* buffer);

}  // namespace quorvel

#pragma once
// The headings of a run's files and the closing banner of its report.
#include <string>

namespace quorvel {

// The report's first line, the title credit.
void write_title_line(int unit);
// The first line of a value file: the version date and the run's date.
void write_version_line(int unit);
// The report's line of the column analysed and the columns of the table.
void write_column_line(int icol, int ncols, int unit);

// The closing banner of a run: version, date and the processor time used
// since `run_timer`, on `unit` and the console. Returns the elapsed seconds.
float head(int month, int day, int year, float run_timer, int unit);

}  // namespace quorvel

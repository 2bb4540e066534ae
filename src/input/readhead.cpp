#include "input/readhead.hpp"

#include <string>

#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "input/field_readers.hpp"

namespace quorvel {
namespace {

template <class... A>
void report_and_console(const A&... items) {
  writel(kReportUnit, items...);
  writel(kConsoleUnit, items...);
}

void formatted_report_and_console(const char* format, const std::string& header) {
  for (int unit : {kReportUnit, kConsoleUnit}) {
    writef(unit, format);
    writel(unit, header);
  }
}

}  // namespace

void readhead(RunParameters& rp) {
  rewind_unit(kDataUnit);
  std::string header;
  if (read_fixed(kDataUnit, 80, rp.title) != 0 || read_fixed(kDataUnit, 120, header) != 0) {
    for (int unit : {kReportUnit, kConsoleUnit, kErrorUnit}) {
      writel(unit, "**** eof in read of data file header");
    }
    stop();
  }

  std::size_t at = header.find("nit=");
  std::string unit_text = at == std::string::npos ? header.substr(3, 3) : header.substr(at + 4, 3);
  unit_text.resize(3, ' ');
  bool khz = false;
  for (const char* form : {"kHz", "khz", "Khz", "KHz"}) khz = khz || unit_text.find(form) != std::string::npos;
  bool hz = unit_text.find("Hz") != std::string::npos || unit_text.find("hz") != std::string::npos;
  if (!khz && !hz && rp.iunit > 0) {
    formatted_report_and_console("(/,2X,'ERROR - unit=! is not typed after the format on the data file used')",
                                 header);
    stop();
  }

  IntField rows = numread("ows", header, "= ", kReportUnit);
  if (rows.ierr != 0) {
    report_and_console("Error in reading the no. of rows of the data file");
    report_and_console("Error number for rnumread = ", rows.ierr);
    stop();
  }
  rp.nrows = rows.value;
  IntField cols = numread("olumns", header, "= ", kReportUnit);
  if (cols.ierr != 0) {
    report_and_console("Error in reading the no. of columns of the data file");
    stop();
  }
  rp.ncols = cols.value;

  if (rp.iunit > 0) {
    RealField rate = rnumread("rate", header, "= ", kReportUnit);
    if (rate.ierr != 0) rate = rnumread("Rate", header, "= ", kReportUnit);
    if (rate.ierr != 0) {
      report_and_console("Error in reading the sampling rate of the data");
      report_and_console("Error number for rnumread = ", rate.ierr);
      stop();
    }
    rp.rate = rate.value;
  } else {
    RealField interval = rnumread("nterval", header, "= ", kReportUnit);
    if (interval.ierr != 0) {
      report_and_console("Error in reading the sampling interval of the data");
      report_and_console("Error number for rnumread = ", interval.ierr);
      stop();
    }
    rp.rate = interval.value;
  }

  TextField format = charead("rmat", header, "= ");
  if (format.ierr != 0) {
    report_and_console("Error in reading the format from the data file");
    report_and_console("Error number for rnumread = ", format.ierr);
    stop();
  }
  rp.fmt = format.value;

  if (rp.iunit == 1 && !khz && hz) {
    formatted_report_and_console(
        "(/,2X,'ERROR - the control file sets the units in kHz but Hz is indicated on line 2 of the data file')",
        header);
    stop();
  }
  if (rp.iunit == 2 && khz) {
    formatted_report_and_console(
        "(/,2X,'ERROR - the control file sets the units in Hz but kHz is indicated on line 2 of the data file')",
        header);
    stop();
  }
}

}  // namespace quorvel

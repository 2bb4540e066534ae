#include "readers/readhead.hpp"

#include <string>

#include "common/send.hpp"
#include "common/stop.hpp"
#include "common/units.hpp"
#include "readers/field_readers.hpp"

namespace quorvel {
namespace {

// A header entry that cannot be read: its message, the reader's code and a stop.
template <class Field>
Field or_stop(Field field, const char* message) {
  if (field.ierr != 0) {
    send(kReportAndConsole, listed(message), listed("Error number for rnumread = ", field.ierr));
    stop();
  }
  return field;
}

// A header that disagrees with the control file: the message, the header line and a stop.
[[noreturn]] void refuse_header(const char* format, const std::string& header) {
  send(kReportAndConsole, formatted(format), listed(header));
  stop();
}

}  // namespace

DataHeader readhead(SamplingUnit iunit) {
  DataHeader h;
  rewind_unit(kDataUnit);
  std::string header;
  if (read_fixed(kDataUnit, 80, h.title) != 0 || read_fixed(kDataUnit, 120, header) != 0) {
    send(kAllOutputs, listed("**** eof in read of data file header"));
    stop();
  }

  std::size_t at = header.find("nit=");
  std::string unit_text = at == std::string::npos ? header.substr(3, 3) : header.substr(at + 4, 3);
  unit_text.resize(3, ' ');
  bool khz = false;
  for (const char* form : {"kHz", "khz", "Khz", "KHz"}) khz = khz || unit_text.find(form) != std::string::npos;
  bool hz = unit_text.find("Hz") != std::string::npos || unit_text.find("hz") != std::string::npos;
  if (!khz && !hz && is_frequency(iunit)) {
    refuse_header("(/,2X,'ERROR - unit=! is not typed after the format on the data file used')", header);
  }

  h.nrows = or_stop(numread("ows", header, "= ", kReportUnit), "Error in reading the no. of rows of the data file").value;
  IntField cols = numread("olumns", header, "= ", kReportUnit);
  if (cols.ierr != 0) {
    send(kReportAndConsole, listed("Error in reading the no. of columns of the data file"));
    stop();
  }
  h.ncols = cols.value;

  if (is_frequency(iunit)) {
    RealField rate = rnumread("rate", header, "= ", kReportUnit);
    if (rate.ierr != 0) rate = rnumread("Rate", header, "= ", kReportUnit);
    h.rate = or_stop(rate, "Error in reading the sampling rate of the data").value;
  } else {
    h.rate = or_stop(rnumread("nterval", header, "= ", kReportUnit), "Error in reading the sampling interval of the data")
                  .value;
  }

  h.fmt = or_stop(charead("rmat", header, "= "), "Error in reading the format from the data file").value;

  if (iunit == SamplingUnit::Kilohertz && !khz && hz) {
    refuse_header(
        "(/,2X,'ERROR - the control file sets the units in kHz but Hz is indicated on line 2 of the data file')",
        header);
  }
  if (iunit == SamplingUnit::Hertz && khz) {
    refuse_header(
        "(/,2X,'ERROR - the control file sets the units in Hz but kHz is indicated on line 2 of the data file')",
        header);
  }
  return h;
}

}  // namespace quorvel

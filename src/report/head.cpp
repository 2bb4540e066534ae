#include "report/head.hpp"

#include "common/clock.hpp"
#include "common/record_writer.hpp"
#include "common/units.hpp"
#include "common/version.hpp"

namespace quorvel {

void write_title_line(int unit) { writef(unit, "(11X,' Trispectrum Statistics by Quorvel')"); }

void write_version_line(int unit) {
  writef(unit, "(' Version ',I2,'-',I2,'-',I4,7X,'Run ',A24)", kVersionMonth, kVersionDay, kVersionYear,
         date_time_24());
}

void write_column_line(int icol, int ncols, int unit) {
  writef(unit, "(/,7X,'Column Number Used = ',I3,2X,'No. of Columns = ',I3)", icol, ncols);
}

float head(int month, int day, int year, float run_timer, int unit) {
  writef(unit, "(' Version ',I2,'-',I2,'-',I4)", month, day, year);
  writef(unit, "(' Date & Time ',A24)", date_time_24());
  float d = processor_time() - run_timer;
  if (d < 0) d += 86400.0f;
  if (d < 60) {
    writef(unit, "(' Elapsed time = ',F9.2,'  secs')", d);
    writef(kConsoleUnit, "(' Elapsed time = ',F9.2,' secs')", d);
  } else if (d < 3600) {
    float m = d * 0.016666668f;
    writef(unit, "(' Elapsed time = ',F9.2,' minutes')", m);
    writef(kConsoleUnit, "(/,' Elapsed time = ',F9.2,' minutes')", m);
  } else {
    float h = d * 0.00027777778f;
    writef(unit, "(' Elapsed time = ',F9.2,' hours')", h);
    writef(kConsoleUnit, "(/,' Elapsed time = ',F9.2,' hours')", h);
  }
  return d;
}

}  // namespace quorvel

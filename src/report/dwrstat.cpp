#include "report/dwrstat.hpp"

#include "common/record_writer.hpp"

namespace quorvel {

void dwrstat(int unit, const Moments& m) {
  writef(unit, "(60('='),/)");
  writef(unit, "(' Mean = ',F15.3,7X,'Std Dev = ',F15.3,/)", m.mean, m.sd);
  writef(unit, "(' Skew = ',E10.4,4X,'Kurtosis = ',E10.4,/)", m.skew, m.kurt);
  writef(unit, "(' Max value = ',F15.3,7X,'Min value = ',F15.3)", m.max, m.min);
  writef(unit, "(60('+'))");
}

}  // namespace quorvel

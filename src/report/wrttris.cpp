#include "report/wrttris.hpp"

#include "common/array_view.hpp"
#include "common/record_writer.hpp"

namespace quorvel {

void wrttris(std::span<const double> table, int lo, int ne, int plane, float bw, SamplingUnit iunit,
             int unit) {
  const char* plane_format = is_frequency(iunit) ? "(10000(F9.4))" : "(10000(F14.3))";
  if (ne > 0) {
    View3<const double> t(table.data(), ne, ne, plane);
    for (int b = 1; b <= ne; ++b) {
      Items row;
      row.reserve(static_cast<std::size_t>(ne));
      for (int a = 1; a <= ne; ++a) row.emplace_back(t(a, b, plane));
      write_formatted(unit, plane_format, row);
    }
  }

  // The grid, in single precision.
  Items grid;
  grid.reserve(static_cast<std::size_t>(ne > 0 ? ne : 0));
  for (int j = lo; j <= lo + ne - 1; ++j) {
    grid.emplace_back(band_value(iunit, bw, static_cast<float>(j)));
  }
  write_formatted(unit, (iunit == SamplingUnit::Kilohertz || iunit == SamplingUnit::Hertz) ? "(10000(F9.3))" : "(10000(F14.3))", grid);
}

}  // namespace quorvel

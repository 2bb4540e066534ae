#pragma once
// The trispectrum value files: one probability plane and the band's grid.
#include <span>

#include "common/run_parameters.hpp"

namespace quorvel {

// Appends plane `plane` (1-based) of `table`, stored column-major as
// ne x ne x planes, as ne records of ne values (the first index runs along
// a record), then one record with the band's frequencies (kHz, Hz) or
// periods (a time unit) for indices lo ... lo + ne - 1.
void wrttris(std::span<const double> table, int lo, int ne, int plane, float bw, SamplingUnit iunit,
             int unit);

}  // namespace quorvel

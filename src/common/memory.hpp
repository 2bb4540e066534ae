#pragma once
// Whether an allocation of this size can be had at all: a request larger
// than the machine's memory is refused up front rather than left to the
// system's overcommit.

namespace quorvel {

bool fits_in_memory(double bytes);

}  // namespace quorvel

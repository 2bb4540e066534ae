#pragma once
// Whether an allocation of this size can be had: a request larger than
// the memory still available (MemAvailable) or than what the process's
// memory control group still allows is refused up front rather than left
// to the system's overcommit (and its out-of-memory killer).

namespace quorvel {

bool fits_in_memory(double bytes);

// The memory the system can still give without swapping (MemAvailable), in
// bytes; -1 when it does not say.
double available_memory();

}  // namespace quorvel

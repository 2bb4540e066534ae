#pragma once

namespace quorvel {

// The closing banner of a run: version, date and the processor time used
// since `run_timer`, on `unit` and the console. Returns the elapsed seconds.
float head(int month, int day, int year, float run_timer, int unit);

}  // namespace quorvel

#pragma once
// The portmanteau white-noise test of a standardised residual series.
#include <span>

namespace quorvel {

// The number of lags of the test: ANINT(n**e), in 32-bit arithmetic.
int dport_lags(int n, float e);

// p-value of the portmanteau statistic over ANINT(n**e) lags of r(1..n);
// `unit` receives the messages of cdchi.
float dport(std::span<const double> r, int n, float e, int unit);

}  // namespace quorvel

#pragma once
// The complex mixed-radix FFT, forward direction: factor table and twiddles
// prepared once per frame length, then one in-place transform per frame.
#include <span>
#include <vector>

namespace quorvel {

// The FFT table of one length: prepared by cffti, then only read (it is
// shared by every pass of a run, on any thread).
struct FftTable {
  int n = 0;
  std::vector<int> factors;      // in the order in which the passes apply them
  std::vector<double> twiddles;  // (cos, sin) pairs, 2n values
};

// Fills the factor list and the twiddles for length n (n = 1: no factors).
void cffti(int n, FftTable& table);

// Replaces x (n complex values, interleaved re, im) by its forward transform
// sum_k x_k exp(-2 pi i j k / n), unscaled. scratch holds 2n doubles: the
// ping-pong partner of x, so the shared table is never written.
void cfftf(const FftTable& table, std::span<double> x, std::span<double> scratch);

// The factorisation, the twiddle layout and the radix passes (cffti1,
// cfftf1, passf2 ... passf5, passf) are the module's own, in
// quorvel::detail inside dfft.cpp: only cffti and cfftf are used outside.

}  // namespace quorvel

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
void cffti1(int n, std::span<double> wa, std::vector<int>& factors);

// Replaces x (n complex values, interleaved re, im) by its forward transform
// sum_k x_k exp(-2 pi i j k / n), unscaled. scratch holds 2n doubles: the
// ping-pong partner of x, so the shared table is never written.
void cfftf(const FftTable& table, std::span<double> x, std::span<double> scratch);
void cfftf1(int n, double* c, double* ch, const double* wa, const std::vector<int>& factors);

// The butterflies of one factor: cc is read as (ido, ip, l1), ch written as
// (ido, l1, ip), ido counted in doubles; wa* are the twiddle blocks.
void passf2(int ido, int l1, const double* cc, double* ch, const double* wa1);
void passf3(int ido, int l1, const double* cc, double* ch, const double* wa1, const double* wa2);
void passf4(int ido, int l1, const double* cc, double* ch, const double* wa1, const double* wa2,
            const double* wa3);
void passf5(int ido, int l1, const double* cc, double* ch, const double* wa1, const double* wa2,
            const double* wa3, const double* wa4);
// Any other factor. nac = 1 when the result is in ch, 0 when it is back in cc.
void passf(int& nac, int ido, int ip, int l1, int idl1, double* cc, double* ch, const double* wa);

}  // namespace quorvel

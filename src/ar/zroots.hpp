#pragma once
// All roots of a complex polynomial by Laguerre's method with deflation,
// in 32-bit complex arithmetic.
#include <complex>
#include <span>

namespace quorvel {

using Complex = std::complex<float>;

// |a| = sqrt(re^2 + im^2), rounded once to 32 bits.
float abs32(Complex a);

// The largest degree zroots handles.
inline constexpr int kMaxRootDegree = 200;

// The m roots of b(1..m+1) (b[i] the coefficient of z^i) into z(1..m),
// polished on the undeflated polynomial when `polish`, sorted by ascending
// real part. err is set to 1 when Laguerre runs out of iterations and is
// never reset. A degree above kMaxRootDegree writes its console message
// and returns false without roots.
bool zroots(std::span<const Complex> b, int m, std::span<Complex> z, bool polish, int& err);

// Improves the root estimate x of the degree-m polynomial c(1..m+1) in
// place; its is the last iteration's number.
void laguer(std::span<const Complex> c, int m, Complex& x, int& its, int& err);

}  // namespace quorvel

#include "ar/zroots.hpp"

#include <cmath>
#include <vector>

#include "common/record_writer.hpp"
#include "common/units.hpp"

namespace quorvel {
namespace {

// Complex arithmetic written out so that every operation rounds as a
// 32-bit complex of the classic compilers does, with no NaN recovery.
Complex mul(Complex a, Complex b) {
  const float ar = a.real(), ai = a.imag(), br = b.real(), bi = b.imag();
  return {ar * br - ai * bi, ar * bi + ai * br};
}

// Division with range reduction (Smith's scheme).
Complex div(Complex a, Complex b) {
  const float ar = a.real(), ai = a.imag(), br = b.real(), bi = b.imag();
  if (std::fabs(br) < std::fabs(bi)) {
    const float ratio = br / bi;
    const float den = br * ratio + bi;
    return {(ar * ratio + ai) / den, (ai * ratio - ar) / den};
  }
  const float ratio = bi / br;
  const float den = bi * ratio + br;
  return {(ai * ratio + ar) / den, (ai - ar * ratio) / den};
}

Complex scale(float s, Complex a) { return {s * a.real(), s * a.imag()}; }

float cabs(Complex a) { return abs32(a); }

}  // namespace

float abs32(Complex a) {
  const double re = a.real(), im = a.imag();
  return static_cast<float>(std::sqrt(re * re + im * im));
}

void laguer(std::span<const Complex> c, int m, Complex& x, int& its, int& err) {
  constexpr int kMaxIter = 8000;
  constexpr int kCycle = 1000;  // a fractional step every kCycle iterations
  constexpr float kEps = 2.0e-7f;
  constexpr float kHuge = 1.0e35f;
  static constexpr float kFrac[] = {0.5f, 0.25f, 0.75f, 0.13f, 0.38f, 0.62f, 0.88f, 1.0f};
  const float fm = static_cast<float>(m);

  for (int iter = 1; iter <= kMaxIter; ++iter) {
    its = iter;
    Complex b = c[m];
    float errb = cabs(b);
    Complex d(0.0f, 0.0f), f(0.0f, 0.0f);
    const float abx = cabs(x);
    // Horner: b the value, d the first derivative, f half the second.
    for (int i = m; i >= 1; --i) {
      if (cabs(f) > kHuge || cabs(b) > kHuge || cabs(d) > kHuge) break;
      f = mul(x, f) + d;
      d = mul(x, d) + b;
      b = mul(x, b) + c[i - 1];
      errb = cabs(b) + abx * errb;
    }
    errb = kEps * errb;
    if (cabs(b) <= errb) return;

    const Complex g = div(d, b);
    const Complex g2 = mul(g, g);
    const Complex h = g2 - div(scale(2.0f, f), b);
    const Complex sq = std::sqrt(scale(fm - 1.0f, scale(fm, h) - g2));
    Complex gp = g + sq;
    const Complex gm = g - sq;
    const float abp = cabs(gp), abm = cabs(gm);
    if (abp < abm) gp = gm;

    Complex dx;
    if (std::fmax(abp, abm) > 0.0f) {
      dx = div(Complex(fm, 0.0f), gp);
    } else {
      const float it = static_cast<float>(iter);
      dx = scale(1.0f + abx, Complex(std::cos(it), std::sin(it)));
    }
    const Complex x1 = x - dx;
    if (cabs(x - x1) < 1.0e-9f) return;
    if (iter % kCycle != 0)
      x = x1;
    else
      x = x - scale(kFrac[iter / kCycle - 1], dx);
  }
  err = 1;
}

bool zroots(std::span<const Complex> b, int m, std::span<Complex> z, bool polish, int& err) {
  constexpr int kMaxCoef = kMaxRootDegree + 1;
  if (m + 1 > kMaxCoef) {
    writel(kConsoleUnit, "m+1 ", m + 1, " > maxm ", kMaxCoef, " in ZROOTS");
    return false;
  }
  constexpr float kRootEps = 1.0e-6f;
  const float imag_floor = 2.0f * (kRootEps * kRootEps);

  std::vector<Complex> d(b.begin(), b.begin() + m + 1);
  int its = 0;
  for (int j = m; j >= 1; --j) {
    Complex x(0.0f, 0.0f);
    laguer(std::span<const Complex>(d.data(), j + 1), j, x, its, err);
    if (std::fabs(x.imag()) <= imag_floor * std::fabs(x.real())) x.imag(0.0f);
    z[j - 1] = x;
    // Deflate by synthetic division.
    Complex t = d[j];
    for (int i = j; i >= 1; --i) {
      const Complex u = d[i - 1];
      d[i - 1] = t;
      t = mul(x, t) + u;
    }
  }
  if (polish)
    for (int j = 1; j <= m; ++j) laguer(b, m, z[j - 1], its, err);

  // Straight insertion by ascending real part; equal real parts keep order.
  for (int j = 2; j <= m; ++j) {
    const Complex x = z[j - 1];
    int i = j - 1;
    while (i >= 1 && z[i - 1].real() > x.real()) {
      z[i] = z[i - 1];
      --i;
    }
    z[i] = x;
  }
  return true;
}

}  // namespace quorvel

// Roots of the AR polynomial and their table values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "ar/outar.hpp"
#include "ar/zroots.hpp"

namespace quorvel {
namespace {

using LComplex = std::complex<long double>;

std::vector<Complex> roots_of(const std::vector<Complex>& b, int& err) {
  const int m = static_cast<int>(b.size()) - 1;
  std::vector<Complex> z(m);
  EXPECT_TRUE(zroots(b, m, z, true, err));
  return z;
}

TEST(Zroots, LinearAndPureImaginaryPair) {
  int err = 0;
  auto z = roots_of({{-0.5f, 0.0f}, {1.0f, 0.0f}}, err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(z[0], Complex(0.5f, 0.0f));

  z = roots_of({{0.81f, 0.0f}, {0.0f, 0.0f}, {1.0f, 0.0f}}, err);
  EXPECT_EQ(err, 0);
  ASSERT_EQ(z.size(), 2u);
  for (const Complex& r : z) {
    EXPECT_NEAR(r.real(), 0.0f, 1e-7f);
    EXPECT_NEAR(std::fabs(r.imag()), 0.9f, 1e-6f);
  }
  EXPECT_LT(z[0].imag() * z[1].imag(), 0.0f);  // a conjugate pair
}

TEST(Zroots, TableValuesInEachUnitMode) {
  const Complex up(0.0f, 0.9f), down(0.0f, -0.9f);
  for (const Complex& z : {up, down}) {
    RootValue hz = root_value(z, SamplingUnit::Hertz, 100.0f);
    EXPECT_FLOAT_EQ(hz.amplitude, 0.9f);
    EXPECT_FLOAT_EQ(hz.value, 25.0f);
    EXPECT_FLOAT_EQ(root_value(z, SamplingUnit::Kilohertz, 0.1f).value, 0.025f);   // kHz in, kHz out
    EXPECT_FLOAT_EQ(root_value(z, SamplingUnit::Time, 0.5f).value, 2.0f);     // period = 4 samples * 0.5
    EXPECT_EQ(root_value(z, SamplingUnit::Time, 5000.0f).value, 10000.0f);    // capped
  }
  for (SamplingUnit iunit : {SamplingUnit::Time, SamplingUnit::Kilohertz, SamplingUnit::Hertz}) {
    const RootValue real = root_value(Complex(0.5f, 0.0f), iunit, 3.0f);
    EXPECT_EQ(real.amplitude, 0.5f);
    EXPECT_EQ(real.value, 0.0f);
    // Residual imaginary parts of a polished real root still read as real.
    EXPECT_EQ(root_value(Complex(-0.7f, 3e-6f), iunit, 3.0f).value, 0.0f);
  }
}

TEST(Zroots, DegreeAboveTheLimitGivesNoRoots) {
  std::vector<Complex> b(202, Complex(0.0f, 0.0f)), z(201, Complex(9.0f, 9.0f));
  b[201] = 1.0f;
  int err = 0;
  EXPECT_FALSE(zroots(b, 201, z, true, err));
  EXPECT_EQ(err, 0);
  EXPECT_EQ(z[0], Complex(9.0f, 9.0f));
}

// Stationary polynomials of degrees 1 to 20 built from known roots: real
// roots, complex pairs, moduli near the unit circle and near 0.
TEST(Zroots, FindsKnownRootsOfStationaryPolynomials) {
  std::mt19937 gen(2024);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double radii[] = {0.995, 0.98, 0.9, 0.7, 0.5, 0.3, 0.05, 0.02};
  int real_checked = 0;
  for (int degree = 1; degree <= 20; ++degree) {
    for (int trial = 0; trial < 5; ++trial) {
      // Choose roots at least 0.08 apart so that float coefficients keep
      // them well conditioned.
      std::vector<LComplex> known;
      auto far_enough = [&](LComplex c) {
        for (const LComplex& k : known)
          if (std::abs(k - c) < 0.08L) return false;
        return true;
      };
      while (static_cast<int>(known.size()) < degree) {
        const double rad = radii[gen() % 8];
        const bool pair = degree - known.size() >= 2 && gen() % 3 != 0;
        if (pair) {
          const double th = 0.15 + u(gen) * (M_PI - 0.3);
          const LComplex c = std::polar<long double>(rad, th);
          if (far_enough(c) && far_enough(std::conj(c)) && std::abs(c.imag()) > 0.04L) {
            known.push_back(c);
            known.push_back(std::conj(c));
          }
        } else {
          const LComplex c(u(gen) < 0.5 ? -rad : rad, 0.0L);
          if (far_enough(c)) known.push_back(c);
        }
      }
      // Expand prod (z - r) and round the coefficients to 32 bits.
      std::vector<LComplex> poly = {1.0L};
      for (const LComplex& r : known) {
        std::vector<LComplex> next(poly.size() + 1, 0.0L);
        for (std::size_t i = 0; i < poly.size(); ++i) {
          next[i + 1] += poly[i];
          next[i] -= r * poly[i];
        }
        poly = next;
      }
      std::vector<Complex> b(degree + 1);
      for (int i = 0; i <= degree; ++i)
        b[i] = Complex(static_cast<float>(poly[i].real()), 0.0f);
      // The known values are the roots of the rounded polynomial: Newton in
      // long double from the designed roots.
      for (LComplex& r : known) {
        for (int it = 0; it < 100; ++it) {
          LComplex p = 0.0L, dp = 0.0L;
          for (int i = degree; i >= 0; --i) {
            dp = dp * r + p;
            p = p * r + LComplex(b[i].real(), 0.0L);
          }
          r -= p / dp;
        }
      }

      int err = 0;
      const std::vector<Complex> z = roots_of(b, err);
      EXPECT_EQ(err, 0) << "degree " << degree;
      for (int j = 1; j < degree; ++j) EXPECT_LE(z[j - 1].real(), z[j].real());
      // Match every known root to a distinct found one. A 32-bit solver can
      // only promise the root to about eps * cond, cond = sum |b_i||r|^i / |p'(r)|.
      std::vector<bool> used(degree, false);
      for (const LComplex& r : known) {
        int best = -1;
        long double dist = 1e30L;
        for (int j = 0; j < degree; ++j) {
          const long double dj = std::abs(LComplex(z[j].real(), z[j].imag()) - r);
          if (!used[j] && dj < dist) {
            dist = dj;
            best = j;
          }
        }
        ASSERT_GE(best, 0);
        used[best] = true;
        long double scale = 0.0L;
        LComplex dp = 0.0L, p = 0.0L;
        for (int i = degree; i >= 0; --i) {
          dp = dp * r + p;
          p = p * r + LComplex(b[i].real(), 0.0L);
          scale += std::fabs(b[i].real()) * std::pow(std::abs(r), i);
        }
        const double bound = 16.0 * 1.19e-7 * static_cast<double>(scale / std::abs(dp)) + 1e-6;
        EXPECT_LT(static_cast<double>(dist), bound)
            << "degree " << degree << " trial " << trial << " root " << r.real() << ","
            << r.imag();
        if (r.imag() == 0.0L && bound < 1e-5) {
          EXPECT_EQ(root_value(z[best], SamplingUnit::Hertz, 1.0f).value, 0.0f);
          ++real_checked;
        }
      }
    }
  }
  EXPECT_GT(real_checked, 40);
}

}  // namespace
}  // namespace quorvel

#include "ar/outar.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "common/record_writer.hpp"

namespace quorvel {
namespace {

constexpr float kLongestPeriod = 10000.0f;

// A root counts as real when its imaginary part vanishes relative to its
// modulus; tiny imaginary residues of the iteration must not read as
// periods.
constexpr float kRealRootRatio = 1.0e-5f;

void write_heading(const RunParameters& run, int unit) {
  switch (run.iunit) {
    case 2:
      writef(unit,
             "(1X,'Amplitudes & Frequencies of the Roots of the AR Polynomial in units of Hz')");
      break;
    case 1:
      writef(unit,
             "(1X,'Amplitudes & Frequencies of the Roots of the AR polynomial in units of kHz')");
      break;
    case 0: {
      std::string name = run.unitname.substr(0, 10);
      name.resize(10, ' ');
      writef(unit, "(1X,'Amplitudes & Periods of the Roots of the AR Polynomial in units of ',A10)",
             name);
      break;
    }
    default:
      break;
  }
}

}  // namespace

RootValue root_value(Complex z, int iunit, float rate) {
  RootValue rv;
  rv.amplitude = abs32(z);
  if (std::fabs(z.imag()) <= kRealRootRatio * rv.amplitude) return rv;
  const float two_pi = 2.0f * std::acos(-1.0f);
  const float theta = std::atan2(z.imag(), z.real());
  const float period = std::fabs(two_pi / theta);  // in samples
  if (iunit == 2 || iunit == 1) {
    rv.value = rate / period;
  } else {
    rv.value = period * rate;
    if (rv.value > kLongestPeriod) rv.value = kLongestPeriod;
  }
  return rv;
}

bool ar_roots(const ArFit& fit, const RunParameters& run, std::vector<RootValue>& roots, int& err) {
  const int k = fit.k, lmax = fit.lmax();
  // B(z) = z^lmax - sum a(j) z^(lmax - L(j)); b[i] is the coefficient of z^i.
  std::vector<Complex> b(lmax + 1, Complex(0.0f, 0.0f));
  b[lmax] = Complex(1.0f, 0.0f);
  for (int j = 1; j <= k; ++j)
    b[lmax - fit.lags[j - 1]] = Complex(-static_cast<float>(fit.a[j - 1]), 0.0f);
  std::vector<Complex> z(lmax);
  err = 0;
  if (!zroots(b, lmax, z, true, err)) return false;
  roots.clear();
  for (int j = 1; j <= lmax; ++j) roots.push_back(root_value(z[j - 1], run.iunit, run.rate));
  return true;
}

void outar(const ArFit& fit, const RunParameters& run, int unit) {
  const int k = fit.k;
  if (k <= 0) return;
  bool bad = false;
  for (int j = 1; j <= k; ++j) {
    const float sej = static_cast<float>(fit.se[j - 1]);
    if (sej <= 0.0f) {
      writel(unit, "Standard error s(", j, ") = ", sej, " < 0 in outar");
      bad = true;
    }
  }
  if (bad) return;

  const int lmax = fit.lmax();
  writef(unit, "(/,17X,'AR(',I3,') parameters / t values')", lmax);
  writef(unit, "(/,6X,'Adjusted R Square = ',F5.3,2X,'Std Error of AR Fit = ',E10.3)", fit.adjr2,
         fit.s);
  writef(unit, "(7X,'p Value Threshold for the Iterative AR Prewhitening Method = ',F5.3)", run.pv);
  writef(unit, "(6X,47('='),/)");
  Items lags, tvalues;
  for (int j = 1; j <= k; ++j) {
    const float aj = static_cast<float>(fit.a[j - 1]);
    const float sej = static_cast<float>(fit.se[j - 1]);
    lags.emplace_back(fit.lags[j - 1]);
    lags.emplace_back(aj);
    tvalues.emplace_back(aj / sej);
  }
  write_formatted(unit, "(70(I3,' - ',F8.4,2X))", lags);
  write_formatted(unit, "(70(6X,F8.2,2X))", tvalues);
  writel(unit);

  std::vector<RootValue> roots;
  int err = 0;
  // Beyond the degree limit zroots has said so on the console; there are
  // no roots to tabulate.
  if (!ar_roots(fit, run, roots, err)) return;
  if (err == 1) {
    writel(unit, "Too many iterations in LAGUER");
    return;
  }

  Items amplitudes, values;
  for (int j = 1; j <= lmax; ++j) {
    const RootValue rv = roots[j - 1];
    amplitudes.emplace_back(j);
    amplitudes.emplace_back(rv.amplitude);
    values.emplace_back(rv.value);
  }
  write_heading(run, unit);
  writef(unit, "(11X,'A real root is given a period = 0.')");
  writef(unit, "(6X,47('='),/)");
  write_formatted(unit, "(70(I3,' - ',F8.2,2X))", amplitudes);
  write_formatted(unit, "(70(6X,F8.2,2X))", values);
  writel(unit);
}

}  // namespace quorvel

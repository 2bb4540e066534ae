#include "report/outtris.hpp"

#include <array>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "common/record_writer.hpp"
#include "common/stop.hpp"
#include "stats/dcdg.hpp"
#include "stats/dsort.hpp"

namespace quorvel {
namespace {

constexpr std::array<float, 11> kFractileLevels = {0.001f, 0.01f, 0.05f, 0.10f, 0.25f, 0.50f,
                                                   0.75f,  0.90f, 0.95f, 0.99f, 0.999f};
constexpr float kFixedSwitch = 0.01f;  // rows below it on both first values use E fields
constexpr float kPercent = 100.0f;

std::string fixed_text(const std::string& text, std::size_t length) {
  std::string s = text.substr(0, length);
  s.resize(length, ' ');
  return s;
}

void write_pvalues(const PassResults& results, const ShuffledPValues& shuffled, int nres,
                   float lambda, int unit) {
  const float pq = 1.0f - results.quantile;
  const float pt = 1.0f - results.reversibility;
  const float pz = 1.0f - results.zero;
  const float pa = 1.0f - results.aliasing;
  writef(unit, "(/,2X,'p-value = ',F7.5,' for the quantile trispectrumbased nonlinearity test')",
         pq);
  writef(unit, "(/,2X,'p-value = ',F7.5,' for the time reversibility test')", pt);
  writef(unit, "(/,2X,'p-value = ',F7.5,' for the zero trispectrum test')", pz);
  writef(unit, "(/,2X,'p-value = ',F7.5,' for the aliasing test',/)", pa);
  if (nres > 0) {
    writef(unit, "(2X,70('*'),/)");
    writef(unit,
           "(2X,'Shuffled p-value = ',F7.4,' for the quantile trispectrum based nonlinearity "
           "test')",
           shuffled.quantile);
    writef(unit, "(/,2X,'Shuffled p-value = ',F7.4,' for the time reversibility test')",
           shuffled.reversibility);
    writef(unit, "(/,2X,'Shuffled p-value = ',F7.4,' for the zero trispectrum test')",
           shuffled.zero);
    writef(unit, "(/,2X,'Shuffled p-value = ',F7.4,' for the aliasing test',/)",
           shuffled.aliasing);
  }
  writef(unit, "(2X,70('='),/)");
  writef(unit, "(12X,'Mean noncentrality parameter = ',F10.2,/)", lambda);
}

// One table row for value u: the four frequencies (or periods) of its
// quadruple, its probability and its phase.
void write_row(const TrispectralValues& values, std::size_t u, float bw, SamplingUnit iunit, int unit) {
  const int k1 = values.t1[u], k2 = values.t2[u], k3 = values.t3[u];
  const std::array<int, 4> k = {k1, k2, k3, -(k1 + k2 + k3)};
  std::array<float, 4> v{};
  for (std::size_t j = 0; j < 4; ++j) {
    v[j] = band_value(iunit, bw, static_cast<float>(k[j]));
  }
  const float prob = static_cast<float>(values.tr[u]);
  const double phase = values.ti[u];
  const bool fixed = v[0] > kFixedSwitch || v[1] > kFixedSwitch;
  if (iunit == SamplingUnit::Kilohertz || iunit == SamplingUnit::Hertz) {
    writef(unit,
           fixed ? "(1X,4(F9.3,2X),7X,F8.6,5X,F6.1,/)" : "(1X,4(E9.3,2X),7X,F8.6,5X,F6.1,/)",
           v[0], v[1], v[2], v[3], prob, phase);
  } else if (iunit == SamplingUnit::Time) {
    writef(unit,
           fixed ? "(2X,4(F14.3,2X),7X,F8.6,5X,F6.1,/)" : "(7X,4(E11.3,5X),5X,F8.6,5X,F6.1,/)",
           v[0], v[1], v[2], v[3], prob, phase);
  }
}

}  // namespace

void trispectral_fractiles(std::span<const double> tr, int n, std::span<int> index, std::span<double> work,
                           std::array<double, 11>& xf, std::array<double, 11>& pf) {
  // Fractiles of the probabilities, each rounded to a 32-bit float. With
  // fewer than two values there are none, and both lines show zeros.
  xf = {};
  pf = {};
  if (n <= 1) return;
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) work[i] = static_cast<float>(tr[i]);
  const std::span<double> values = work.first(static_cast<std::size_t>(n));
  if (selection_matches_sort(values)) {
    fractiles_by_selection(values, kFractileLevels, xf);  // the index sort's values, found faster
  } else {
    int ierr = 0;
    dsort(index, work, n, kFractileLevels, xf, 'B', ierr);
  }
  for (std::size_t i = 0; i < kFractileLevels.size(); ++i) {
    // Under the null the probabilities are uniform: the f-fractile
    // estimates f with the binomial standard error.
    const double f = kFractileLevels[i];
    const double s = std::sqrt(f * (1.0 - f) / n);
    const double z = std::fabs(xf[i] - f) / s;
    pf[i] = 1.0 - dcdg(z);
  }
}

void outtris_not_computed(int unit) {
  writef(unit, "(/,2X,'No p-values: the tests were not computed with fewer than 12 valid trispectrum values',/)");
  writef(unit, "(2X,70('='),/)");
}

void outtris(const TrispectralValues& values, const ShuffledPValues& shuffled, int n,
             const RunParameters& rp, const PassResults& results, int unit) {
  const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
  std::vector<int> ak;
  std::vector<double> work;
  try {
    ak.resize(count);
    work.resize(count);
  } catch (const std::bad_alloc&) {
    writel(unit, std::string("Unable to allocate work ak in outtris"));
    stop_for_memory();
  }

  write_pvalues(results, shuffled, rp.nres, results.lambda, unit);

  std::array<double, 11> xf{};
  std::array<double, 11> pf{};
  trispectral_fractiles(values.tr, n, ak, work, xf, pf);
  writef(unit, "(11X,'Fractiles of Normalized Trispectral Probabilities',/)");
  writef(unit,
         "(4X,'0.001',4X,'0.01',5X,'0.05',5X,'0.10',5X,'0.25',5X,'0.50',5X,'0.75',5X,'0.90',"
         "5X,'0.95',5X,'0.99',5X,'0.999',/)");
  const char* fractile_format = "(2X,11(F7.3,2X),/)";
  write_formatted(unit, fractile_format, Items(xf.begin(), xf.end()));
  write_formatted(unit, "(2X,11(F7.3,2X),' p-values')", Items(pf.begin(), pf.end()));
  writef(unit, "(2X,70('='),/)");

  // The values whose probability lies below 1/n, in the order of idx.
  const float J = 1.0f / static_cast<float>(n);
  std::size_t t = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const int u = values.idx[k];
    if (static_cast<float>(values.tr[static_cast<std::size_t>(u)]) < J) ak[t++] = u;
  }
  if (t == 0) return;

  const int kept = static_cast<int>(t);
  writef(unit, "(4X,I5,' Trispectral p-values < ',F8.5)", kept, J);
  const float percent = kPercent * static_cast<float>(kept) / static_cast<float>(n);
  const float percent_sd = kPercent * std::sqrt(J * (1.0f - J) / static_cast<float>(n));
  writef(unit,
         "(2X,'% of Trispectral Probabilites = ',F6.3,2X,'Standard Deviation = ',F6.3)",
         percent, percent_sd);
  writef(unit, "(1X,60('='),/)");
  if (rp.iunit == SamplingUnit::Kilohertz || rp.iunit == SamplingUnit::Hertz) {
    writef(unit, rp.iunit == SamplingUnit::Kilohertz ? "(12X,' Frequencies in kHz',/)" : "(12X,' Frequencies in Hz',/)");
    writef(unit, "(5X,'f(1)',7X,'f(2)',7X,'f(3)',7X,'f(4)',11X,'1-Pr',8X,'Phase',/)");
  } else if (rp.iunit == SamplingUnit::Time) {
    writef(unit, "(17X,'Periods in ',A10,/)", fixed_text(rp.unitname, 10));
    writef(unit,
           "(10X,'Period 1',8X,'Period 2',8X,'Period 3',8X,'Period 4',9X,'1-Pr',8X,'Phase',/)");
  }
  for (std::size_t k = 0; k < t; ++k) {
    write_row(values, static_cast<std::size_t>(ak[k]), rp.bw, rp.iunit, unit);
  }
}

}  // namespace quorvel

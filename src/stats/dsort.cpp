#include "stats/dsort.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/array_view.hpp"
#include "common/record_writer.hpp"
#include "common/units.hpp"

namespace quorvel {

void dsort(std::span<int> indx, std::span<const double> x, int n, std::span<const float> frac,
           std::span<double> xf, char isrt, int& ierr) {
  const int nfrac = static_cast<int>(frac.size());
  ierr = 0;
  if (n <= 1) {
    ierr = 1;
    writel(kConsoleUnit, "n in x(n) <= 1 ", n);
    return;
  }
  const bool known = isrt == 'S' || isrt == 'B' || isrt == 'F';
  if (!known) {
    ierr = 2;
    writel(kConsoleUnit, "Isrt control character in SORT is wrong  ", std::string(1, isrt));
  }
  if (nfrac <= 0 && isrt != 'S') {
    ierr = 3;
    writel(kConsoleUnit, "Number of fractiles in SORT <= 0 ", nfrac);
    return;
  }
  if (isrt != 'S') {
    for (int i = 1; i <= nfrac; ++i) {
      // A NaN level is refused too: it has no rank to interpolate at.
      if (!(frac[i - 1] > 0.0f && frac[i - 1] < 1.0f)) {
        writel(kConsoleUnit, "Fractile ", i, " <=0 or >=1");
        return;
      }
    }
  }
  if (isrt == 'S' || isrt == 'B') indexx(n, x, indx);
  if (isrt == 'F' || isrt == 'B') {
    View1<const int> index(indx.data(), n);
    View1<const double> value(x.data(), n);
    View1<double> fractile(xf.data(), nfrac);
    for (int i = 1; i <= nfrac; ++i) {
      double e = static_cast<double>(n) * static_cast<double>(frac[i - 1]);
      int k = static_cast<int>(e);
      double w = e - k;
      int a = std::min(std::max(k, 1), n);
      int b = std::min(k + 1, n);
      // Index entries are 0-based positions in x.
      fractile(i) = (1.0 - w) * value(index(a) + 1) + w * value(index(b) + 1);
    }
  }
}

bool selection_matches_sort(std::span<const double> x) {
  return std::none_of(x.begin(), x.end(), [](double v) { return std::isnan(v) || (v == 0.0 && std::signbit(v)); });
}

double fractile_by_selection(std::span<double> x, float level) {
  double xf = 0.0;
  fractiles_by_selection(x, std::span<const float>(&level, 1), std::span<double>(&xf, 1));
  return xf;
}

// Puts at each of the ascending, distinct positions `at` of x[from, to) the
// entry a full sort would put there, splitting the range at the middle one.
// A position next to a selected one takes the extreme of its side, found by
// a scan rather than a selection.
static void select_at(std::span<double> x, std::span<const int> at, int from, int to) {
  if (at.empty()) return;
  const std::size_t mid = (at.size() - 1) / 2;
  const int p = at[mid];
  std::nth_element(x.begin() + from, x.begin() + p, x.begin() + to);
  std::span<const int> left = at.first(mid), right = at.subspan(mid + 1);
  int left_to = p, right_from = p + 1;
  if (!left.empty() && left.back() == p - 1) {
    std::iter_swap(std::max_element(x.begin() + from, x.begin() + p), x.begin() + (p - 1));
    left = left.first(left.size() - 1);
    left_to = p - 1;
  }
  if (!right.empty() && right.front() == p + 1) {
    std::iter_swap(std::min_element(x.begin() + p + 1, x.begin() + to), x.begin() + (p + 1));
    right = right.subspan(1);
    right_from = p + 2;
  }
  select_at(x, left, from, left_to);
  select_at(x, right, right_from, to);
}

void fractiles_by_selection(std::span<double> x, std::span<const float> levels, std::span<double> xf) {
  const int n = static_cast<int>(x.size());
  if (n < 1) return;
  std::vector<int> a(levels.size()), b(levels.size());
  std::vector<double> w(levels.size());
  std::vector<int> at;
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const double e = static_cast<double>(n) * static_cast<double>(levels[i]);
    const int k = static_cast<int>(e);
    w[i] = e - k;
    a[i] = std::min(std::max(k, 1), n) - 1;  // 0-based positions of the two order statistics
    b[i] = std::min(k + 1, n) - 1;
    at.push_back(a[i]);
    at.push_back(b[i]);
  }
  std::sort(at.begin(), at.end());
  at.erase(std::unique(at.begin(), at.end()), at.end());
  select_at(x, at, 0, n);
  for (std::size_t i = 0; i < levels.size(); ++i) xf[i] = (1.0 - w[i]) * x[a[i]] + w[i] * x[b[i]];
}

// Index heapsort, ascending; the heap positions are 1-based as in the
// classic formulation, the entries 0-based positions in x. It stops once the
// last `count` positions hold their final entries: each later step only
// moves entries ahead of them, so those positions are the full sort's.
static void heap_index_sort(int n, std::span<const double> x, std::span<int> indx, int count) {
  if (n < 2) {
    if (n == 1) indx[0] = 0;
    return;
  }
  View1<int> ix(indx.data(), n);
  for (int j = 1; j <= n; ++j) ix(j) = j - 1;
  if (count <= 0) return;
  int l = n / 2 + 1;
  int r = n;
  for (;;) {
    int t;
    double v;
    if (l > 1) {
      --l;
      t = ix(l);
      v = x[t];
    } else {
      t = ix(r);
      v = x[t];
      ix(r) = ix(1);
      --r;
      if (r == 1) {
        ix(1) = t;
        return;
      }
    }
    int i = l;
    int j = l + l;
    while (j <= r) {
      if (j < r && x[ix(j)] < x[ix(j + 1)]) ++j;
      if (v < x[ix(j)]) {
        ix(i) = ix(j);
        i = j;
        j += j;
      } else {
        j = r + 1;
      }
    }
    ix(i) = t;
    if (n - r >= count) return;
  }
}

void indexx(int n, std::span<const double> x, std::span<int> indx) { heap_index_sort(n, x, indx, n); }

void indexx_tail(int n, std::span<const double> x, std::span<int> indx, int count) {
  heap_index_sort(n, x, indx, count);
}

}  // namespace quorvel

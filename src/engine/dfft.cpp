#include "engine/dfft.hpp"

#include <cmath>
#include <cstddef>

namespace quorvel {

// The machinery behind cffti and cfftf, kept out of the module's surface.
namespace detail {

// 2 pi rounded to a 32-bit float, used as a double: the twiddle angles are
// built from it.
constexpr double kTwoPi = 6.2831854820251465;

// Factorisation and twiddles for length n.
void cffti1(int n, std::span<double> wa, std::vector<int>& factors) {
  static constexpr int kTrial[4] = {3, 4, 2, 5};
  factors.clear();
  int nl = n;
  int j = 0;
  int ntry = 0;
  while (nl != 1) {
    ntry = j < 4 ? kTrial[j] : ntry + 2;
    ++j;
    while (nl % ntry == 0) {
      factors.push_back(ntry);
      nl /= ntry;
      // A factor 2 goes to the front of the list.
      if (ntry == 2 && factors.size() > 1) {
        factors.pop_back();
        factors.insert(factors.begin(), 2);
      }
      if (nl == 1) break;
    }
  }
  // Twiddles: for each factor and each j = 1..ip-1 a block of ido pairs
  // (cos, sin)(f * (j*l1*h)), f = 0..ido-1; the blocks of a factor above 5
  // carry the pair for f = ido in their first slot (its general pass reads
  // the ip-th roots of unity there).
  const double argh = kTwoPi / static_cast<double>(n);
  std::size_t i = 0;  // pair position of the next block
  int l1 = 1;
  for (int ip : factors) {
    int ld = 0;
    const int l2 = l1 * ip;
    const int ido = n / l2;
    for (int jj = 1; jj <= ip - 1; ++jj) {
      const std::size_t first = i;
      wa[2 * i] = 1.0;
      wa[2 * i + 1] = 0.0;
      ld += l1;
      double fi = 0.0;
      const double argld = static_cast<double>(ld) * argh;
      for (int ii = 1; ii <= ido; ++ii) {
        ++i;
        fi += 1.0;
        const double arg = fi * argld;
        wa[2 * i] = std::cos(arg);
        wa[2 * i + 1] = std::sin(arg);
      }
      if (ip > 5) {
        wa[2 * first] = wa[2 * i];
        wa[2 * first + 1] = wa[2 * i + 1];
      }
    }
    l1 = l2;
  }
}

// The butterflies of one factor: cc is read as (ido, ip, l1), ch written as
// (ido, l1, ip), ido counted in doubles; wa* are the twiddle blocks.
// Arrays below are indexed like the column-major 1-based arrays of the
// butterflies: CC(i, j, k) with extents (ido, ip, l1), CH(i, k, j) with
// extents (ido, l1, ip).

void passf2(int ido, int l1, const double* cc, double* ch, const double* wa1) {
  auto CC = [&](int i, int j, int k) { return cc[(i - 1) + ido * ((j - 1) + 2 * (k - 1))]; };
  auto CH = [&](int i, int k, int j) -> double& { return ch[(i - 1) + ido * ((k - 1) + l1 * (j - 1))]; };
  auto WA1 = [&](int i) { return wa1[i - 1]; };
  if (ido <= 2) {
    for (int k = 1; k <= l1; ++k) {
      CH(1, k, 1) = CC(1, 1, k) + CC(1, 2, k);
      CH(1, k, 2) = CC(1, 1, k) - CC(1, 2, k);
      CH(2, k, 1) = CC(2, 1, k) + CC(2, 2, k);
      CH(2, k, 2) = CC(2, 1, k) - CC(2, 2, k);
    }
    return;
  }
  for (int k = 1; k <= l1; ++k) {
    for (int i = 2; i <= ido; i += 2) {
      CH(i - 1, k, 1) = CC(i - 1, 1, k) + CC(i - 1, 2, k);
      const double tr2 = CC(i - 1, 1, k) - CC(i - 1, 2, k);
      CH(i, k, 1) = CC(i, 1, k) + CC(i, 2, k);
      const double ti2 = CC(i, 1, k) - CC(i, 2, k);
      CH(i, k, 2) = WA1(i - 1) * ti2 - WA1(i) * tr2;
      CH(i - 1, k, 2) = WA1(i - 1) * tr2 + WA1(i) * ti2;
    }
  }
}

void passf3(int ido, int l1, const double* cc, double* ch, const double* wa1, const double* wa2) {
  constexpr double taur = -0.5;
  constexpr double taui = -0.866025403784439;
  auto CC = [&](int i, int j, int k) { return cc[(i - 1) + ido * ((j - 1) + 3 * (k - 1))]; };
  auto CH = [&](int i, int k, int j) -> double& { return ch[(i - 1) + ido * ((k - 1) + l1 * (j - 1))]; };
  auto WA1 = [&](int i) { return wa1[i - 1]; };
  auto WA2 = [&](int i) { return wa2[i - 1]; };
  if (ido == 2) {
    for (int k = 1; k <= l1; ++k) {
      const double tr2 = CC(1, 2, k) + CC(1, 3, k);
      const double cr2 = CC(1, 1, k) + taur * tr2;
      CH(1, k, 1) = CC(1, 1, k) + tr2;
      const double ti2 = CC(2, 2, k) + CC(2, 3, k);
      const double ci2 = CC(2, 1, k) + taur * ti2;
      CH(2, k, 1) = CC(2, 1, k) + ti2;
      const double cr3 = taui * (CC(1, 2, k) - CC(1, 3, k));
      const double ci3 = taui * (CC(2, 2, k) - CC(2, 3, k));
      CH(1, k, 2) = cr2 - ci3;
      CH(1, k, 3) = cr2 + ci3;
      CH(2, k, 2) = ci2 + cr3;
      CH(2, k, 3) = ci2 - cr3;
    }
    return;
  }
  for (int k = 1; k <= l1; ++k) {
    for (int i = 2; i <= ido; i += 2) {
      const double tr2 = CC(i - 1, 2, k) + CC(i - 1, 3, k);
      const double cr2 = CC(i - 1, 1, k) + taur * tr2;
      CH(i - 1, k, 1) = CC(i - 1, 1, k) + tr2;
      const double ti2 = CC(i, 2, k) + CC(i, 3, k);
      const double ci2 = CC(i, 1, k) + taur * ti2;
      CH(i, k, 1) = CC(i, 1, k) + ti2;
      const double cr3 = taui * (CC(i - 1, 2, k) - CC(i - 1, 3, k));
      const double ci3 = taui * (CC(i, 2, k) - CC(i, 3, k));
      const double dr2 = cr2 - ci3;
      const double dr3 = cr2 + ci3;
      const double di2 = ci2 + cr3;
      const double di3 = ci2 - cr3;
      CH(i, k, 2) = WA1(i - 1) * di2 - WA1(i) * dr2;
      CH(i - 1, k, 2) = WA1(i - 1) * dr2 + WA1(i) * di2;
      CH(i, k, 3) = WA2(i - 1) * di3 - WA2(i) * dr3;
      CH(i - 1, k, 3) = WA2(i - 1) * dr3 + WA2(i) * di3;
    }
  }
}

void passf4(int ido, int l1, const double* cc, double* ch, const double* wa1, const double* wa2,
            const double* wa3) {
  auto CC = [&](int i, int j, int k) { return cc[(i - 1) + ido * ((j - 1) + 4 * (k - 1))]; };
  auto CH = [&](int i, int k, int j) -> double& { return ch[(i - 1) + ido * ((k - 1) + l1 * (j - 1))]; };
  auto WA1 = [&](int i) { return wa1[i - 1]; };
  auto WA2 = [&](int i) { return wa2[i - 1]; };
  auto WA3 = [&](int i) { return wa3[i - 1]; };
  if (ido == 2) {
    for (int k = 1; k <= l1; ++k) {
      const double ti1 = CC(2, 1, k) - CC(2, 3, k);
      const double ti2 = CC(2, 1, k) + CC(2, 3, k);
      const double tr4 = CC(2, 2, k) - CC(2, 4, k);
      const double ti3 = CC(2, 2, k) + CC(2, 4, k);
      const double tr1 = CC(1, 1, k) - CC(1, 3, k);
      const double tr2 = CC(1, 1, k) + CC(1, 3, k);
      const double ti4 = CC(1, 4, k) - CC(1, 2, k);
      const double tr3 = CC(1, 2, k) + CC(1, 4, k);
      CH(1, k, 1) = tr2 + tr3;
      CH(1, k, 3) = tr2 - tr3;
      CH(2, k, 1) = ti2 + ti3;
      CH(2, k, 3) = ti2 - ti3;
      CH(1, k, 2) = tr1 + tr4;
      CH(1, k, 4) = tr1 - tr4;
      CH(2, k, 2) = ti1 + ti4;
      CH(2, k, 4) = ti1 - ti4;
    }
    return;
  }
  for (int k = 1; k <= l1; ++k) {
    for (int i = 2; i <= ido; i += 2) {
      const double ti1 = CC(i, 1, k) - CC(i, 3, k);
      const double ti2 = CC(i, 1, k) + CC(i, 3, k);
      const double ti3 = CC(i, 2, k) + CC(i, 4, k);
      const double tr4 = CC(i, 2, k) - CC(i, 4, k);
      const double tr1 = CC(i - 1, 1, k) - CC(i - 1, 3, k);
      const double tr2 = CC(i - 1, 1, k) + CC(i - 1, 3, k);
      const double ti4 = CC(i - 1, 4, k) - CC(i - 1, 2, k);
      const double tr3 = CC(i - 1, 2, k) + CC(i - 1, 4, k);
      CH(i - 1, k, 1) = tr2 + tr3;
      const double cr3 = tr2 - tr3;
      CH(i, k, 1) = ti2 + ti3;
      const double ci3 = ti2 - ti3;
      const double cr2 = tr1 + tr4;
      const double cr4 = tr1 - tr4;
      const double ci2 = ti1 + ti4;
      const double ci4 = ti1 - ti4;
      CH(i - 1, k, 2) = WA1(i - 1) * cr2 + WA1(i) * ci2;
      CH(i, k, 2) = WA1(i - 1) * ci2 - WA1(i) * cr2;
      CH(i - 1, k, 3) = WA2(i - 1) * cr3 + WA2(i) * ci3;
      CH(i, k, 3) = WA2(i - 1) * ci3 - WA2(i) * cr3;
      CH(i - 1, k, 4) = WA3(i - 1) * cr4 + WA3(i) * ci4;
      CH(i, k, 4) = WA3(i - 1) * ci4 - WA3(i) * cr4;
    }
  }
}

void passf5(int ido, int l1, const double* cc, double* ch, const double* wa1, const double* wa2,
            const double* wa3, const double* wa4) {
  constexpr double tr11 = 0.309016994374947;
  constexpr double ti11 = -0.951056516295154;
  constexpr double tr12 = -0.809016994374947;
  constexpr double ti12 = -0.587785252292473;
  auto CC = [&](int i, int j, int k) { return cc[(i - 1) + ido * ((j - 1) + 5 * (k - 1))]; };
  auto CH = [&](int i, int k, int j) -> double& { return ch[(i - 1) + ido * ((k - 1) + l1 * (j - 1))]; };
  auto WA1 = [&](int i) { return wa1[i - 1]; };
  auto WA2 = [&](int i) { return wa2[i - 1]; };
  auto WA3 = [&](int i) { return wa3[i - 1]; };
  auto WA4 = [&](int i) { return wa4[i - 1]; };
  if (ido == 2) {
    for (int k = 1; k <= l1; ++k) {
      const double ti5 = CC(2, 2, k) - CC(2, 5, k);
      const double ti2 = CC(2, 2, k) + CC(2, 5, k);
      const double ti4 = CC(2, 3, k) - CC(2, 4, k);
      const double ti3 = CC(2, 3, k) + CC(2, 4, k);
      const double tr5 = CC(1, 2, k) - CC(1, 5, k);
      const double tr2 = CC(1, 2, k) + CC(1, 5, k);
      const double tr4 = CC(1, 3, k) - CC(1, 4, k);
      const double tr3 = CC(1, 3, k) + CC(1, 4, k);
      CH(1, k, 1) = CC(1, 1, k) + tr2 + tr3;
      CH(2, k, 1) = CC(2, 1, k) + ti2 + ti3;
      const double cr2 = CC(1, 1, k) + tr11 * tr2 + tr12 * tr3;
      const double ci2 = CC(2, 1, k) + tr11 * ti2 + tr12 * ti3;
      const double cr3 = CC(1, 1, k) + tr12 * tr2 + tr11 * tr3;
      const double ci3 = CC(2, 1, k) + tr12 * ti2 + tr11 * ti3;
      const double cr5 = ti11 * tr5 + ti12 * tr4;
      const double ci5 = ti11 * ti5 + ti12 * ti4;
      const double cr4 = ti12 * tr5 - ti11 * tr4;
      const double ci4 = ti12 * ti5 - ti11 * ti4;
      CH(1, k, 2) = cr2 - ci5;
      CH(1, k, 5) = cr2 + ci5;
      CH(2, k, 2) = ci2 + cr5;
      CH(2, k, 3) = ci3 + cr4;
      CH(1, k, 3) = cr3 - ci4;
      CH(1, k, 4) = cr3 + ci4;
      CH(2, k, 4) = ci3 - cr4;
      CH(2, k, 5) = ci2 - cr5;
    }
    return;
  }
  for (int k = 1; k <= l1; ++k) {
    for (int i = 2; i <= ido; i += 2) {
      const double ti5 = CC(i, 2, k) - CC(i, 5, k);
      const double ti2 = CC(i, 2, k) + CC(i, 5, k);
      const double ti4 = CC(i, 3, k) - CC(i, 4, k);
      const double ti3 = CC(i, 3, k) + CC(i, 4, k);
      const double tr5 = CC(i - 1, 2, k) - CC(i - 1, 5, k);
      const double tr2 = CC(i - 1, 2, k) + CC(i - 1, 5, k);
      const double tr4 = CC(i - 1, 3, k) - CC(i - 1, 4, k);
      const double tr3 = CC(i - 1, 3, k) + CC(i - 1, 4, k);
      CH(i - 1, k, 1) = CC(i - 1, 1, k) + tr2 + tr3;
      CH(i, k, 1) = CC(i, 1, k) + ti2 + ti3;
      const double cr2 = CC(i - 1, 1, k) + tr11 * tr2 + tr12 * tr3;
      const double ci2 = CC(i, 1, k) + tr11 * ti2 + tr12 * ti3;
      const double cr3 = CC(i - 1, 1, k) + tr12 * tr2 + tr11 * tr3;
      const double ci3 = CC(i, 1, k) + tr12 * ti2 + tr11 * ti3;
      const double cr5 = ti11 * tr5 + ti12 * tr4;
      const double ci5 = ti11 * ti5 + ti12 * ti4;
      const double cr4 = ti12 * tr5 - ti11 * tr4;
      const double ci4 = ti12 * ti5 - ti11 * ti4;
      const double dr3 = cr3 - ci4;
      const double dr4 = cr3 + ci4;
      const double di3 = ci3 + cr4;
      const double di4 = ci3 - cr4;
      const double dr5 = cr2 + ci5;
      const double dr2 = cr2 - ci5;
      const double di5 = ci2 - cr5;
      const double di2 = ci2 + cr5;
      CH(i - 1, k, 2) = WA1(i - 1) * dr2 + WA1(i) * di2;
      CH(i, k, 2) = WA1(i - 1) * di2 - WA1(i) * dr2;
      CH(i - 1, k, 3) = WA2(i - 1) * dr3 + WA2(i) * di3;
      CH(i, k, 3) = WA2(i - 1) * di3 - WA2(i) * dr3;
      CH(i - 1, k, 4) = WA3(i - 1) * dr4 + WA3(i) * di4;
      CH(i, k, 4) = WA3(i - 1) * di4 - WA3(i) * dr4;
      CH(i - 1, k, 5) = WA4(i - 1) * dr5 + WA4(i) * di5;
      CH(i, k, 5) = WA4(i - 1) * di5 - WA4(i) * dr5;
    }
  }
}

// Any other factor. nac = 1 when the result is in ch, 0 when it is back in cc.
void passf(int& nac, int ido, int ip, int l1, int idl1, double* cc, double* ch, const double* wa) {
  // cc is read as CC(ido, ip, l1) and rewritten as C1(ido, l1, ip) and
  // C2(idl1, ip); ch is written as CH(ido, l1, ip) and CH2(idl1, ip).
  auto CC = [&](int i, int j, int k) -> double& { return cc[(i - 1) + ido * ((j - 1) + ip * (k - 1))]; };
  auto C1 = [&](int i, int k, int j) -> double& { return cc[(i - 1) + ido * ((k - 1) + l1 * (j - 1))]; };
  auto C2 = [&](int ik, int j) -> double& { return cc[(ik - 1) + idl1 * (j - 1)]; };
  auto CH = [&](int i, int k, int j) -> double& { return ch[(i - 1) + ido * ((k - 1) + l1 * (j - 1))]; };
  auto CH2 = [&](int ik, int j) -> double& { return ch[(ik - 1) + idl1 * (j - 1)]; };
  auto WA = [&](int i) { return wa[i - 1]; };
  const int idot = ido / 2;
  const int ipp2 = ip + 2;
  const int ipph = (ip + 1) / 2;
  const int idp = ip * ido;

  for (int j = 2; j <= ipph; ++j) {
    const int jc = ipp2 - j;
    for (int k = 1; k <= l1; ++k) {
      for (int i = 1; i <= ido; ++i) {
        CH(i, k, j) = CC(i, j, k) + CC(i, jc, k);
        CH(i, k, jc) = CC(i, j, k) - CC(i, jc, k);
      }
    }
  }
  for (int k = 1; k <= l1; ++k) {
    for (int i = 1; i <= ido; ++i) CH(i, k, 1) = CC(i, 1, k);
  }

  int idl = 2 - ido;
  int inc = 0;
  for (int l = 2; l <= ipph; ++l) {
    const int lc = ipp2 - l;
    idl += ido;
    for (int ik = 1; ik <= idl1; ++ik) {
      C2(ik, l) = CH2(ik, 1) + WA(idl - 1) * CH2(ik, 2);
      C2(ik, lc) = -WA(idl) * CH2(ik, ip);
    }
    int idlj = idl;
    inc += ido;
    for (int j = 3; j <= ipph; ++j) {
      const int jc = ipp2 - j;
      idlj += inc;
      if (idlj > idp) idlj -= idp;
      const double war = WA(idlj - 1);
      const double wai = WA(idlj);
      for (int ik = 1; ik <= idl1; ++ik) {
        C2(ik, l) = C2(ik, l) + war * CH2(ik, j);
        C2(ik, lc) = C2(ik, lc) - wai * CH2(ik, jc);
      }
    }
  }
  for (int j = 2; j <= ipph; ++j) {
    for (int ik = 1; ik <= idl1; ++ik) CH2(ik, 1) = CH2(ik, 1) + CH2(ik, j);
  }
  for (int j = 2; j <= ipph; ++j) {
    const int jc = ipp2 - j;
    for (int ik = 2; ik <= idl1; ik += 2) {
      CH2(ik - 1, j) = C2(ik - 1, j) - C2(ik, jc);
      CH2(ik - 1, jc) = C2(ik - 1, j) + C2(ik, jc);
      CH2(ik, j) = C2(ik, j) + C2(ik - 1, jc);
      CH2(ik, jc) = C2(ik, j) - C2(ik - 1, jc);
    }
  }
  nac = 1;
  if (ido == 2) return;
  nac = 0;
  for (int ik = 1; ik <= idl1; ++ik) C2(ik, 1) = CH2(ik, 1);
  for (int j = 2; j <= ip; ++j) {
    for (int k = 1; k <= l1; ++k) {
      C1(1, k, j) = CH(1, k, j);
      C1(2, k, j) = CH(2, k, j);
    }
  }
  if (idot <= l1) {
    int idij = 0;
    for (int j = 2; j <= ip; ++j) {
      idij += 2;
      for (int i = 4; i <= ido; i += 2) {
        idij += 2;
        for (int k = 1; k <= l1; ++k) {
          C1(i - 1, k, j) = WA(idij - 1) * CH(i - 1, k, j) + WA(idij) * CH(i, k, j);
          C1(i, k, j) = WA(idij - 1) * CH(i, k, j) - WA(idij) * CH(i - 1, k, j);
        }
      }
    }
    return;
  }
  int idj = 2 - ido;
  for (int j = 2; j <= ip; ++j) {
    idj += ido;
    for (int k = 1; k <= l1; ++k) {
      int idij = idj;
      for (int i = 4; i <= ido; i += 2) {
        idij += 2;
        C1(i - 1, k, j) = WA(idij - 1) * CH(i - 1, k, j) + WA(idij) * CH(i, k, j);
        C1(i, k, j) = WA(idij - 1) * CH(i, k, j) - WA(idij) * CH(i - 1, k, j);
      }
    }
  }
}

// The passes of every factor in list order, alternating c and ch.
void cfftf1(int n, double* c, double* ch, const double* wa, const std::vector<int>& factors) {
  int na = 0;
  int l1 = 1;
  std::size_t iw = 0;
  for (int ip : factors) {
    const int l2 = ip * l1;
    const int ido = n / l2;
    const int idot = ido + ido;
    const int idl1 = idot * l1;
    double* in = na == 0 ? c : ch;
    double* out = na == 0 ? ch : c;
    const double* w1 = wa + iw;
    switch (ip) {
      case 4:
        passf4(idot, l1, in, out, w1, w1 + idot, w1 + 2 * idot);
        na = 1 - na;
        break;
      case 2:
        passf2(idot, l1, in, out, w1);
        na = 1 - na;
        break;
      case 3:
        passf3(idot, l1, in, out, w1, w1 + idot);
        na = 1 - na;
        break;
      case 5:
        passf5(idot, l1, in, out, w1, w1 + idot, w1 + 2 * idot, w1 + 3 * idot);
        na = 1 - na;
        break;
      default: {
        int nac = 0;
        passf(nac, idot, ip, l1, idl1, in, out, w1);
        if (nac != 0) na = 1 - na;
      }
    }
    l1 = l2;
    iw += static_cast<std::size_t>(ip - 1) * idot;
  }
  if (na == 0) return;
  for (int i = 0; i < 2 * n; ++i) c[i] = ch[i];
}

}  // namespace detail

void cffti(int n, FftTable& table) {
  table.n = n;
  table.factors.clear();
  // One pair beyond the 2n values: the last block writes its f = ido pair there.
  table.twiddles.assign(2 * static_cast<std::size_t>(n) + 2, 0.0);
  if (n == 1) return;
  detail::cffti1(n, table.twiddles, table.factors);
}

void cfftf(const FftTable& table, std::span<double> x, std::span<double> scratch) {
  if (table.n == 1) return;
  detail::cfftf1(table.n, x.data(), scratch.data(), table.twiddles.data(), table.factors);
}

}  // namespace quorvel

#include "engine/engine_arrays.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace quorvel {

double engine_bytes(const RunParameters& p, bool with_planes) {
  const double ne = p.ne, m = p.M;
  const double planes = with_planes ? 2.0 * ne * ne : 0.0;
  const double chunk = 4.0 * FrameChunk::kFrames * (m + FrameChunk::kPad);
  return 8.0 * (planes + chunk + 6.0 * m) + 28.0 * p.ntr + 12.0 * (p.npos + p.nneg) + 64.0 * p.ntr / 8;
}

bool allocate_engine_arrays(const RunParameters& p, EngineArrays& a, bool with_planes) {
  try {
    const std::size_t M = static_cast<std::size_t>(p.M);
    const std::size_t ne = static_cast<std::size_t>(std::max(p.ne, 0));
    const std::size_t ntr = static_cast<std::size_t>(std::max(p.ntr, 0));
    const std::size_t n = static_cast<std::size_t>(std::max(p.npos + p.nneg, 0));
    a.b.assign(M, 0.0);
    a.w.assign(M, 1.0);
    a.f.assign(2 * M, 0.0);
    a.scratch.assign(2 * M, 0.0);
    a.in.assign(n, 0);
    a.y.assign(n, 0.0);
    a.sp.assign(ne, 0.0);
    a.tr.assign(ntr, 0.0);
    a.ti.assign(ntr, 0.0);
    a.t1.assign(ntr, 0);
    a.t2.assign(ntr, 0);
    a.t3.assign(ntr, 0);
    if (with_planes) {
      a.u.assign(ne * ne, 0.0);
      a.z.assign(ne * ne, 0.0);
    }
    a.plan = make_estimator_plan(p.lo, p.hi, p.M);
    a.chunk = FrameChunk(p.M);
    a.taperfac = 1.0;
    a.ntaper = 0;
  } catch (const std::bad_alloc&) {
    a = EngineArrays{};
    return false;
  } catch (const std::length_error&) {
    a = EngineArrays{};
    return false;
  }
  return true;
}

}  // namespace quorvel

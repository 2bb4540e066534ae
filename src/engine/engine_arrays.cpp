#include "engine/engine_arrays.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace quorvel {

bool allocate_engine_arrays(const RunParameters& p, EngineArrays& a) {
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
    a.u.assign(ne * ne * static_cast<std::size_t>(p.k3pos + 1), 0.0);
    a.z.assign(ne * ne * static_cast<std::size_t>(p.k3neg + 1), 0.0);
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

#pragma once
// Views of 1-based, column-major arrays, so that code indexing them reads
// like the formulas. Bounds are checked in debug builds.
#include <cassert>
#include <cstddef>
#include <cstdlib>

namespace quorvel {

#ifdef QUORVEL_CHECK_BOUNDS
#define QUORVEL_BOUNDS(cond) \
  do {                       \
    if (!(cond)) std::abort(); \
  } while (0)
#else
#define QUORVEL_BOUNDS(cond) \
  do {                       \
  } while (0)
#endif

template <class T>
class View1 {
 public:
  View1(T* data, std::ptrdiff_t n) : data_(data), n_(n) {}
  T& operator()(std::ptrdiff_t i) const {
    QUORVEL_BOUNDS(i >= 1 && i <= n_);
    return data_[i - 1];
  }
  std::ptrdiff_t size() const { return n_; }

 private:
  T* data_;
  std::ptrdiff_t n_;
};

template <class T>
class View2 {
 public:
  View2(T* data, std::ptrdiff_t n1, std::ptrdiff_t n2) : data_(data), n1_(n1), n2_(n2) {}
  T& operator()(std::ptrdiff_t i, std::ptrdiff_t j) const {
    QUORVEL_BOUNDS(i >= 1 && i <= n1_ && j >= 1 && j <= n2_);
    return data_[(i - 1) + (j - 1) * n1_];
  }

 private:
  T* data_;
  std::ptrdiff_t n1_, n2_;
};

template <class T>
class View3 {
 public:
  View3(T* data, std::ptrdiff_t n1, std::ptrdiff_t n2, std::ptrdiff_t n3)
      : data_(data), n1_(n1), n2_(n2), n3_(n3) {}
  T& operator()(std::ptrdiff_t i, std::ptrdiff_t j, std::ptrdiff_t k) const {
    QUORVEL_BOUNDS(i >= 1 && i <= n1_ && j >= 1 && j <= n2_ && k >= 1 && k <= n3_);
    return data_[(i - 1) + (j - 1) * n1_ + (k - 1) * n1_ * n2_];
  }

 private:
  T* data_;
  std::ptrdiff_t n1_, n2_, n3_;
};

}  // namespace quorvel

// Containers in which the water-system modules keep their variables: one
// value for the whole water body, or one value per segment boundary 0..N.
// Both start at 0 on their first use, so a module never reads an unset value.
#pragma once

#include <cassert>
#include <span>
#include <vector>

namespace korvan {

// One water-body-wide value and a flag that tells whether it was ever used.
class ScalarVariable {
 public:
  // The first read counts as a use: the value is 0 until something is written.
  double value() const {
    initialised_ = true;
    return value_;
  }
  void set(double v) {
    initialised_ = true;
    value_ = v;
  }
  bool initialised() const { return initialised_; }

 private:
  double value_ = 0.0;
  // Recording the first use does not change the value, so a read may set it.
  mutable bool initialised_ = false;
};

// An array over the index 0..N, allocated and zeroed on its first read or
// write with N = the bound at that moment (the number of segments, or the
// number of sediment layers for a per-layer array). The bound is held by
// reference because the modules are built before the water body is read.
//
// After the first use an element access is one well-predicted test and an
// indexed load or store; inner loops that want none take values() once.
// Indices are checked by assert only, so the check costs nothing in Release.
class SegmentVariable {
 public:
  explicit SegmentVariable(const int& upperBound) : upperBound_(&upperBound) {}

  double operator[](int i) const { return data()[index(i)]; }
  double& operator[](int i) { return data()[index(i)]; }
  void set(int i, double v) { (*this)[i] = v; }

  // Elements 0..N as one contiguous span.
  std::span<double> values() { return std::span<double>(data(), size()); }
  std::span<const double> values() const { return std::span<const double>(data(), size()); }

  bool initialised() const { return !values_.empty(); }
  // N of the allocated array; the current bound while not yet allocated.
  int upperBound() const { return initialised() ? size() - 1 : *upperBound_; }

 private:
  double* data() const {
    if (values_.empty()) [[unlikely]]
      allocate();
    return values_.data();
  }
  int size() const { return static_cast<int>(values_.size()); }
  std::size_t index(int i) const {
    assert(i >= 0 && i < size() && "SegmentVariable index outside 0..N");
    return static_cast<std::size_t>(i);
  }
  void allocate() const {
    // A bound below 0 cannot come from a water body that was read; 0..0
    // still gives the inflow element.
    const int n = *upperBound_ < 0 ? 0 : *upperBound_;
    values_.assign(static_cast<std::size_t>(n) + 1, 0.0);
  }

  const int* upperBound_;
  // Allocation on first use is a cache of zeros: reads may trigger it.
  mutable std::vector<double> values_;
};

}  // namespace korvan

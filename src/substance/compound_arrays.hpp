// Arrays of the substance modules: values per position and compound (a
// segment of the water layer, or a sediment layer), per sediment layer,
// segment and compound, and per pair of compounds. Each is allocated once
// with its sizes, zeroed, and then only read and written: element access
// allocates nothing, so the arrays serve the solvers' inner loops.
//
// Positions count from 0 like SegmentVariable (segment i or layer j at index
// i or j; index 0 is the upstream node or the sediment surface and is left to
// the caller), compounds from 1. The values of one compound (and segment)
// lie together, so a solver that works compound by compound hands one
// contiguous span to the compound module.
#pragma once

#include <cassert>
#include <cstddef>
#include <span>
#include <vector>

namespace korvan {

// Values at positions 0..M for compounds 1..n.
class PerCompoundArray {
 public:
  void allocate(int upperBound, int numCompounds) {
    assert(upperBound >= 0 && numCompounds >= 0);
    m_ = upperBound;
    n_ = numCompounds;
    values_.assign(stride() * static_cast<std::size_t>(n_), 0.0);
    allocated_ = true;
  }
  bool allocated() const { return allocated_; }
  int upperBound() const { return m_; }
  int numCompounds() const { return n_; }

  double operator()(int i, int k) const { return values_[index(i, k)]; }
  double& operator()(int i, int k) { return values_[index(i, k)]; }
  // Positions 0..M of compound k.
  std::span<double> values(int k) { return {values_.data() + offset(k), stride()}; }
  std::span<const double> values(int k) const { return {values_.data() + offset(k), stride()}; }

 private:
  std::size_t stride() const { return static_cast<std::size_t>(m_) + 1; }
  std::size_t offset(int k) const {
    assert(k >= 1 && k <= n_ && "compound index outside 1..n");
    return static_cast<std::size_t>(k - 1) * stride();
  }
  std::size_t index(int i, int k) const {
    assert(i >= 0 && i <= m_ && "position outside 0..M");
    return offset(k) + static_cast<std::size_t>(i);
  }

  std::vector<double> values_;
  int m_ = 0;
  int n_ = 0;
  bool allocated_ = false;
};

// Per segment 0..N and compound (ConLiqWatLay, ConSysWatLay, ...).
using CompoundSegmentArray = PerCompoundArray;
// Per sediment layer 0..L and compound (the diffusion coefficient, the
// transformation rate coefficient in the sediment).
using CompoundLayerArray = PerCompoundArray;

// Values per sediment layer 0..L, segment 0..N and compound 1..n
// (ConLiqSed, ConSysSed, ...). The layers of one segment and compound lie
// together.
class CompoundSedimentArray {
 public:
  void allocate(int numLayers, int numSeg, int numCompounds) {
    assert(numLayers >= 0 && numSeg >= 0 && numCompounds >= 0);
    l_ = numLayers;
    n_ = numSeg;
    c_ = numCompounds;
    values_.assign(stride() * (static_cast<std::size_t>(n_) + 1) * static_cast<std::size_t>(c_),
                   0.0);
    allocated_ = true;
  }
  bool allocated() const { return allocated_; }
  int numLayers() const { return l_; }
  int numSeg() const { return n_; }
  int numCompounds() const { return c_; }

  double operator()(int j, int i, int k) const { return values_[index(j, i, k)]; }
  double& operator()(int j, int i, int k) { return values_[index(j, i, k)]; }
  // Layers 0..L under segment i for compound k.
  std::span<double> values(int i, int k) { return {values_.data() + offset(i, k), stride()}; }
  std::span<const double> values(int i, int k) const {
    return {values_.data() + offset(i, k), stride()};
  }

 private:
  std::size_t stride() const { return static_cast<std::size_t>(l_) + 1; }
  std::size_t offset(int i, int k) const {
    assert(i >= 0 && i <= n_ && "segment outside 0..N");
    assert(k >= 1 && k <= c_ && "compound index outside 1..n");
    return (static_cast<std::size_t>(k - 1) * (static_cast<std::size_t>(n_) + 1) +
            static_cast<std::size_t>(i)) *
           stride();
  }
  std::size_t index(int j, int i, int k) const {
    assert(j >= 0 && j <= l_ && "layer outside 0..L");
    return offset(i, k) + static_cast<std::size_t>(j);
  }

  std::vector<double> values_;
  int l_ = 0;
  int n_ = 0;
  int c_ = 0;
  bool allocated_ = false;
};

// A square array over pairs of compounds (p, d), 1..n each: the formation
// fractions from parent p to daughter d.
class CompoundMatrix {
 public:
  void allocate(int numCompounds) {
    assert(numCompounds >= 0);
    n_ = numCompounds;
    values_.assign(static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_), 0.0);
    allocated_ = true;
  }
  bool allocated() const { return allocated_; }
  int numCompounds() const { return n_; }

  double operator()(int p, int d) const { return values_[index(p, d)]; }
  double& operator()(int p, int d) { return values_[index(p, d)]; }

 private:
  std::size_t index(int p, int d) const {
    assert(p >= 1 && p <= n_ && d >= 1 && d <= n_ && "compound index outside 1..n");
    return static_cast<std::size_t>(p - 1) * static_cast<std::size_t>(n_) +
           static_cast<std::size_t>(d - 1);
  }

  std::vector<double> values_;
  int n_ = 0;
  bool allocated_ = false;
};

}  // namespace korvan

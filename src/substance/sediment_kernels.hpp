// The innermost loop of the sediment solve, one fixed-point iteration of the
// end-of-step storage over the layers of a column, written for the 8-lane
// vector unit (AVX-512) of the processors that have it. It computes the
// same iterate as the layer-by-layer loop of the solver, with the isotherm
// powers of the C library's vector maths.
#pragma once

namespace korvan::sediment_kernels {

// Per-layer arrays hold layer j at index j = 1..layers.
struct IterateArgs {
  int layers = 0;
  const double* xPrev = nullptr;   // iterate before x; null at the first iteration
  const double* x = nullptr;       // current iterate
  double* y = nullptr;             // next iterate (written)
  double* kdIt = nullptr;          // Kd of the last storage evaluation (read and written)
  const double* kdRef = nullptr;   // cntOm x KomSed
  const double* stoSta = nullptr;  // start-of-step storage (the first iteration's divisor)
  const double* rhs = nullptr;
  const double* area = nullptr;
  const double* theta = nullptr;
  const double* rho = nullptr;
  bool linear = true;
  double conLiqRef = 1.0, expPow = 0.0, frozen = 1.0, conLiqMin = 0.0;
  double tolerance = 0.0;  // relative change below which a layer has converged
};

// True when this processor and this build have the vector form.
bool available();

// One iteration: 1 when every layer has converged, 0 when not; -j when the
// storage of layer j (the first such) is negative, with its value in
// *negative.
int iterate(const IterateArgs& a, double* negative);

}  // namespace korvan::sediment_kernels

// The innermost loop of the sediment solve, one fixed-point iteration of the
// end-of-step storage over the layers of a column, written for the 8-lane
// vector unit (AVX-512) of the processors that have it. It computes the
// same iterate as the layer-by-layer loop of the solver, with the isotherm
// powers of the C library's vector maths. An iteration is split in three so
// that several columns share the power calls: the arguments of the powers a
// column needs are packed one after another (packPowers, or the iteration
// before), the powers of all columns raised together (raisePowers), and
// each column takes its own back in the same order (applyPowers).
#pragma once

#include <cmath>

namespace korvan::sediment_kernels {

// Per-layer arrays hold layer j at index j = 1..layers.
struct IterateArgs {
  int layers = 0;
  const double* xPrev = nullptr;  // iterate before x (the start of the step for the second)
  const double* x = nullptr;      // current iterate
  double* y = nullptr;            // next iterate (written)
  double* kdIt = nullptr;         // Kd of the last storage evaluation (read and written)
  const double* kdRef = nullptr;  // cntOm x KomSed
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

// Room beyond the packed arguments that the vector loads and stores of the
// three steps use.
constexpr int kPackPadding = 8;

// The arguments of the powers of an iteration (the layers whose iterate
// moved and lies above the lower limit, from the surface down) and their
// exponents, from arg and expo on; returns their number.
int packPowers(const IterateArgs& a, double* arg, double* expo);
// arg[n] = arg[n]^expo[n] for n < count (arg holds count + kPackPadding).
void raisePowers(double* arg, double* expo, int count);
// Where an iteration packs the powers of the next one (which moves from its
// x to its y), and how many it packed.
struct PackTarget {
  double* arg = nullptr;
  double* expo = nullptr;
  int count = 0;
};
// The iteration with the powers packed for it from pow on: 1 when every
// layer has converged, 0 when not; -j when the storage of layer j (the
// first such) is negative, with its value in *negative. With next, the
// arguments of the next iteration's powers are packed on the way, as
// packPowers would from the new iterate.
int applyPowers(const IterateArgs& a, const double* pow, double* negative,
                PackTarget* next = nullptr);

}  // namespace korvan::sediment_kernels

// ---------------------------------------------------------------------------
// The two sides of a column solve around the iteration, layer by layer: the
// start-of-step side (storage, sinks and sources, transport coefficients,
// right-hand side) and, after convergence, the end of the step (new
// concentration, Kd, and each layer's contribution to the balance terms).
// One inline function per layer serves the surface and bottom layers; the
// inner layers, which have both neighbours, run in a loop that the compiler
// vectorises for the processor at hand. The operations per layer and their
// order are the same on either path.
namespace korvan::sediment_kernels {

struct BuildArgs {
  int layers = 0;
  const double* area = nullptr;
  const double* theta = nullptr;
  const double* rho = nullptr;
  const double* kdSta = nullptr;     // Kd at the start of the step
  const double* dtCofTra = nullptr;  // dt x transformation rate
  const double* dtArea = nullptr;    // dt x A(j)
  const double* ratFor = nullptr;    // formation rate of the column
  const double* dG = nullptr;        // dt x G(j) per inner interface
  const double* advOwn = nullptr;
  const double* advUpp = nullptr;
  const double* advLow = nullptr;
  const double* c0 = nullptr;   // start-of-step concentrations
  const double* ers = nullptr;  // eroded soil's mass per layer
  double ownDisTop = 0.0, srcAdvTop = 0.0, srcDisTop = 0.0, srcBot = 0.0;
  double* stoSta = nullptr;
  double* kdIt = nullptr;
  double* frm = nullptr;
  double* rhs = nullptr;
  // Each layer's contribution to the advection, dispersion and
  // transformation terms.
  double* adv = nullptr;
  double* dis = nullptr;
  double* traTerm = nullptr;
  // The first iterate of the end-of-step concentrations, from the start
  // storage, and the relative change below which a layer has converged.
  double* first = nullptr;
  double tolerance = 0.0;
};

// A broken positivity condition (1-6, 0: none) and the offending value;
// moved: the first iterate of the layer has not converged.
struct Violation {
  int condition = 0;
  double value = 0.0;
  bool moved = false;
};

inline int positivityCondition(double lbd, double ldd, double lod, double rbd, double rdd,
                               double rod) {
  if (lbd > 0.0) return 1;
  if (ldd < 0.0) return 2;
  if (lod > 0.0) return 3;
  if (rbd < 0.0) return 4;
  if (rdd < 0.0) return 5;
  if (rod < 0.0) return 6;
  return 0;
}

// The start-of-step side of layer j (top: j = 1, bottom: j = layers).
template <bool kCheck = true>
inline Violation buildLayer(const BuildArgs& a, int j, bool top, bool bottom) {
  const double stoSta = a.area[j] * (a.theta[j] + a.rho[j] * a.kdSta[j]);
  // Transformation of the total content, first order.
  const double tra = a.dtCofTra[j] * stoSta;
  const double frm = a.dtArea[j] * a.ratFor[j];
  const double ers = a.ers[j];
  double disOwn = 0.0, disUpp = 0.0, disLow = 0.0;
  if (top) {
    disOwn += a.ownDisTop;
  } else {
    disUpp = a.dG[j - 1];
    disOwn -= a.dG[j - 1];
  }
  if (!bottom) {
    disOwn -= a.dG[j];
    disLow = a.dG[j];
  }
  // With time weight 1 the end-of-step side holds the storage only, and the
  // right-hand side holds start-of-step values only.
  const double rdd = stoSta - tra + a.advOwn[j] + disOwn;
  const double rod = a.advUpp[j] + disUpp;
  const double rbd = a.advLow[j] + disLow;
  double src = frm + ers;
  if (top) src += a.srcAdvTop + a.srcDisTop;
  if (bottom) src += a.srcBot;
  double rhs = rdd * a.c0[j] + src;
  if (!top) rhs += rod * a.c0[j - 1];
  if (!bottom) rhs += rbd * a.c0[j + 1];
  a.stoSta[j] = stoSta;
  // The coefficient of the first iterate, the start of the step: a layer
  // whose iterate does not move keeps it.
  a.kdIt[j] = a.kdSta[j];
  a.frm[j] = frm;
  a.rhs[j] = rhs;
  // The layer's contribution to the advection, dispersion and
  // transformation terms of the balance: start-of-step values only.
  const double c0 = a.c0[j];
  const double up = top ? 0.0 : a.c0[j - 1];
  const double low = bottom ? 0.0 : a.c0[j + 1];
  double adv = a.advOwn[j] * c0 + a.advUpp[j] * up + a.advLow[j] * low;
  double dis = disOwn * c0 + disUpp * up + disLow * low;
  if (top) {
    adv += a.srcAdvTop;
    dis += a.srcDisTop;
  }
  if (bottom) adv += a.srcBot;
  a.adv[j] = adv;
  a.dis[j] = dis;
  a.traTerm[j] = -tra * c0;
  // The first iteration divides by the start storage: the same operations
  // as every later one.
  const double next = rhs / stoSta;
  a.first[j] = next;
  Violation v;
  v.moved = std::fabs(next - a.c0[j]) > a.tolerance * std::fabs(next);
  if constexpr (kCheck) {
    // The first iterate's storage is the start storage (ldd = stoSta).
    v.condition = positivityCondition(0.0, stoSta, 0.0, rbd, rdd, rod);
    const double values[] = {0.0, stoSta, 0.0, rbd, rdd, rod, 0.0};
    v.value = values[v.condition == 0 ? 6 : v.condition - 1];
  } else {
    v.condition = (stoSta < 0.0) | (rbd < 0.0) | (rdd < 0.0) | (rod < 0.0);
  }
  return v;
}

// Layers 2 .. layers - 1: kBuildBroken when one of them breaks a positivity
// condition (the caller then looks for the first that does), kBuildMoved
// when the first iterate of one of them has not converged.
constexpr int kBuildBroken = 1;
constexpr int kBuildMoved = 2;
int buildInner(const BuildArgs& a);

struct FinishArgs {
  int layers = 0;
  bool updated = false;        // c holds the new concentrations already
  const double* kd = nullptr;  // Kd at the new concentrations
  const double* area = nullptr;
  const double* theta = nullptr;
  const double* rho = nullptr;
  const double* rhs = nullptr;
  const double* c0 = nullptr;
  const double* stoSta = nullptr;
  double* c = nullptr;      // new concentrations (read when updated, else written)
  double* kdNew = nullptr;  // Kd kept for the next step
  double* sto = nullptr;    // each layer's contribution to the storage change
};

// The end of the step of layer j; true when its concentration is negative.
template <bool kUpdated>
inline bool finishLayer(const FinishArgs& a, int j) {
  const double kd = a.kd[j];
  a.kdNew[j] = kd;
  const double ldd = a.area[j] * (a.theta[j] + a.rho[j] * kd);
  double cNew = 0.0;
  if constexpr (kUpdated) {
    cNew = a.c[j];
  } else {
    cNew = a.rhs[j] / ldd;
  }
  a.c[j] = cNew;
  // ldd x new = rdd x C0 + neighbours + source holds by construction, so the
  // storage change is the sum of the other terms.
  a.sto[j] = ldd * cNew - a.stoSta[j] * a.c0[j];
  return cNew < 0.0;
}

// Every layer; true when one of them has a negative concentration.
bool finishColumnLayers(const FinishArgs& a);

}  // namespace korvan::sediment_kernels

#include "substance/sediment_kernels.hpp"

#include "core/vector_math.hpp"

#if defined(KORVAN_HAVE_LIBMVEC) && defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVAN_SEDIMENT_AVX512 1
extern "C" __attribute__((target("avx512f"))) __m512d _ZGVeN8vv_pow(__m512d, __m512d);
#endif

namespace korvan::sediment_kernels {

#ifdef KORVAN_SEDIMENT_AVX512

bool available() {
  return __builtin_cpu_supports("avx512f");
}

namespace {

// The same operations per layer, in the same order, as the layer loop:
// Kd at the moved iterate (linear, power, or the frozen factor below the
// lower limit), storage = area x (theta + rho x Kd), next = rhs / storage.

// The lanes of the block of 8 layers from layer j on.
__attribute__((target("avx512f"))) inline __mmask8 lanesFrom(int layers, int j) {
  const int left = layers - j + 1;
  return left >= 8 ? __mmask8(0xff) : __mmask8((1u << left) - 1u);
}

// Packs the power arguments (C / conLiqRef) and exponents of the lanes of a
// block whose iterate moves from `from` to `to` and lies above the lower
// limit of the isotherm; returns how many it packed.
struct Packer {
  __m512d ref, expPow, conLiqMin;
  bool refIsOne;

  __attribute__((target("avx512f"))) static Packer of(const IterateArgs& a) {
    return {_mm512_set1_pd(a.conLiqRef), _mm512_set1_pd(a.expPow), _mm512_set1_pd(a.conLiqMin),
            a.conLiqRef == 1.0};
  }
  __attribute__((target("avx512f"))) int add(__mmask8 lanes, __m512d from, __m512d to, double* arg,
                                             double* expo) const {
    const __mmask8 moved = _mm512_mask_cmp_pd_mask(lanes, to, from, _CMP_NEQ_UQ);
    const __mmask8 above = _mm512_mask_cmp_pd_mask(moved, to, conLiqMin, _CMP_GT_OQ);
    if (above == 0) return 0;
    // C / 1 is C to the last bit: the usual reference of 1 mg/L saves the
    // division.
    const __m512d ratio = refIsOne ? to : _mm512_div_pd(to, ref);
    _mm512_storeu_pd(arg, _mm512_maskz_compress_pd(above, ratio));
    _mm512_storeu_pd(expo, expPow);
    return __builtin_popcount(above);
  }
};

__attribute__((target("avx512f"))) int packPowers512(const IterateArgs& a, double* arg,
                                                     double* expo) {
  if (a.linear) return 0;
  const Packer packer = Packer::of(a);
  int m = 0;
  for (int j = 1; j <= a.layers; j += 8) {
    const __mmask8 lanes = lanesFrom(a.layers, j);
    m += packer.add(lanes, _mm512_maskz_loadu_pd(lanes, a.xPrev + j),
                    _mm512_maskz_loadu_pd(lanes, a.x + j), arg + m, expo + m);
  }
  return m;
}

__attribute__((target("avx512f"))) void raisePowers512(double* arg, double* expo, int count) {
  // Lanes beyond the last argument take 1^0: no special case of the power.
  _mm512_storeu_pd(arg + count, _mm512_set1_pd(1.0));
  _mm512_storeu_pd(expo + count, _mm512_setzero_pd());
  for (int n = 0; n < count; n += 8) {
    _mm512_storeu_pd(arg + n, _ZGVeN8vv_pow(_mm512_loadu_pd(arg + n), _mm512_loadu_pd(expo + n)));
  }
}

__attribute__((target("avx512f"))) int applyPowers512(const IterateArgs& a, const double* pow,
                                                      double* negative, PackTarget* next) {
  const Packer packer = Packer::of(a);
  const bool pack = next != nullptr && !a.linear;
  int packed = 0;
  const __m512d frozen = _mm512_set1_pd(a.frozen);
  const __m512d conLiqMin = _mm512_set1_pd(a.conLiqMin);
  const __m512d tolerance = _mm512_set1_pd(a.tolerance);
  const __m512d zero = _mm512_setzero_pd();
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512i absMask = _mm512_set1_epi64(0x7fffffffffffffffLL);
  bool converged = true;
  int m = 0;
  for (int j = 1; j <= a.layers; j += 8) {
    const __mmask8 lanes = lanesFrom(a.layers, j);
    const __m512d c = _mm512_maskz_loadu_pd(lanes, a.x + j);
    const __m512d prev = _mm512_maskz_loadu_pd(lanes, a.xPrev + j);
    const __mmask8 moved = _mm512_mask_cmp_pd_mask(lanes, c, prev, _CMP_NEQ_UQ);
    const __m512d kdRef = _mm512_maskz_loadu_pd(lanes, a.kdRef + j);
    __m512d kdEnd = _mm512_maskz_loadu_pd(lanes, a.kdIt + j);
    if (moved != 0) {
      __m512d kdNew = kdRef;
      if (!a.linear) {
        const __mmask8 above = _mm512_mask_cmp_pd_mask(moved, c, conLiqMin, _CMP_GT_OQ);
        __m512d factor = frozen;
        if (above != 0) {
          factor = _mm512_mask_expand_pd(frozen, above, _mm512_loadu_pd(pow + m));
          m += __builtin_popcount(above);
        }
        kdNew = _mm512_mul_pd(kdRef, factor);
      }
      kdEnd = _mm512_mask_mov_pd(kdEnd, moved, kdNew);
      _mm512_mask_storeu_pd(a.kdIt + j, lanes, kdEnd);
    }
    const __m512d area = _mm512_maskz_loadu_pd(lanes, a.area + j);
    const __m512d theta = _mm512_maskz_loadu_pd(lanes, a.theta + j);
    const __m512d rho = _mm512_maskz_loadu_pd(lanes, a.rho + j);
    __m512d ldd = _mm512_mul_pd(area, _mm512_add_pd(theta, _mm512_mul_pd(rho, kdEnd)));
    const __mmask8 below = _mm512_mask_cmp_pd_mask(lanes, ldd, zero, _CMP_LT_OQ);
    if (below != 0) [[unlikely]] {
      const int first = __builtin_ctz(below);
      alignas(64) double values[8];
      _mm512_store_pd(values, ldd);
      *negative = values[first];
      // The layers above the first negative one have their iterate, as in
      // the layer loop.
      const __m512d next = _mm512_div_pd(_mm512_maskz_loadu_pd(lanes, a.rhs + j), ldd);
      _mm512_mask_storeu_pd(a.y + j, __mmask8((1u << first) - 1u), next);
      return -(j + first);
    }
    ldd = _mm512_mask_mov_pd(one, lanes, ldd);
    const __m512d y = _mm512_div_pd(_mm512_maskz_loadu_pd(lanes, a.rhs + j), ldd);
    _mm512_mask_storeu_pd(a.y + j, lanes, y);
    const __m512d change =
        _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(_mm512_sub_pd(y, c)), absMask));
    const __m512d bound = _mm512_mul_pd(
        tolerance, _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(y), absMask)));
    if (_mm512_mask_cmp_pd_mask(lanes, change, bound, _CMP_GT_OQ) != 0) converged = false;
    // The next iteration moves from c to y.
    if (pack) packed += packer.add(lanes, c, y, next->arg + packed, next->expo + packed);
  }
  if (next != nullptr) next->count = packed;
  return converged ? 1 : 0;
}

}  // namespace

int packPowers(const IterateArgs& a, double* arg, double* expo) {
  return packPowers512(a, arg, expo);
}
void raisePowers(double* arg, double* expo, int count) {
  raisePowers512(arg, expo, count);
}
int applyPowers(const IterateArgs& a, const double* pow, double* negative, PackTarget* next) {
  return applyPowers512(a, pow, negative, next);
}

#else

bool available() {
  return false;
}
int packPowers(const IterateArgs&, double*, double*) {
  return 0;
}
void raisePowers(double*, double*, int) {}
int applyPowers(const IterateArgs&, const double*, double*, PackTarget*) {
  return 0;
}

#endif

}  // namespace korvan::sediment_kernels

namespace korvan::sediment_kernels {

// Inner layers have both neighbours: the per-layer functions lose their
// branches and the loops run on the widest vector unit the processor has.

// The arguments are copied first: the stores through their pointers then
// cannot change them.
KORVAN_VECTOR_CLONES int buildInner(const BuildArgs& args) {
  const BuildArgs a = args;
  int bad = 0, moved = 0;
  KORVAN_INDEPENDENT_ITERATIONS
  for (int j = 2; j < a.layers; ++j) {
    const Violation v = buildLayer<false>(a, j, false, false);
    bad |= v.condition;
    moved |= static_cast<int>(v.moved);
  }
  return (bad != 0 ? kBuildBroken : 0) | (moved != 0 ? kBuildMoved : 0);
}

KORVAN_VECTOR_CLONES bool finishColumnLayers(const FinishArgs& args) {
  const FinishArgs a = args;
  int negative = 0;
  if (a.updated) {
    KORVAN_INDEPENDENT_ITERATIONS
    for (int j = 1; j <= a.layers; ++j) negative |= finishLayer<true>(a, j);
  } else {
    KORVAN_INDEPENDENT_ITERATIONS
    for (int j = 1; j <= a.layers; ++j) negative |= finishLayer<false>(a, j);
  }
  return negative != 0;
}

}  // namespace korvan::sediment_kernels

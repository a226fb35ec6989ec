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
__attribute__((target("avx512f"))) int iterate512(const IterateArgs& a, double* negative) {
  const __m512d ref = _mm512_set1_pd(a.conLiqRef);
  const bool refIsOne = a.conLiqRef == 1.0;
  const __m512d expPow = _mm512_set1_pd(a.expPow);
  const __m512d frozen = _mm512_set1_pd(a.frozen);
  const __m512d conLiqMin = _mm512_set1_pd(a.conLiqMin);
  const __m512d tolerance = _mm512_set1_pd(a.tolerance);
  const __m512d zero = _mm512_setzero_pd();
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512i absMask = _mm512_set1_epi64(0x7fffffffffffffffLL);
  bool converged = true;
  for (int j = 1; j <= a.layers; j += 8) {
    const int left = a.layers - j + 1;
    const __mmask8 lanes = left >= 8 ? __mmask8(0xff) : __mmask8((1u << left) - 1u);
    const __m512d c = _mm512_maskz_loadu_pd(lanes, a.x + j);
    __m512d ldd;
    {
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
            // c / 1 is c to the last bit: the usual reference of 1 mg/L
            // saves the division.
            const __m512d ratio = refIsOne ? _mm512_mask_mov_pd(one, above, c)
                                           : _mm512_mask_div_pd(one, above, c, ref);
            factor = _mm512_mask_mov_pd(frozen, above, _ZGVeN8vv_pow(ratio, expPow));
          }
          kdNew = _mm512_mul_pd(kdRef, factor);
        }
        kdEnd = _mm512_mask_mov_pd(kdEnd, moved, kdNew);
        _mm512_mask_storeu_pd(a.kdIt + j, lanes, kdEnd);
      }
      const __m512d area = _mm512_maskz_loadu_pd(lanes, a.area + j);
      const __m512d theta = _mm512_maskz_loadu_pd(lanes, a.theta + j);
      const __m512d rho = _mm512_maskz_loadu_pd(lanes, a.rho + j);
      ldd = _mm512_mul_pd(area, _mm512_add_pd(theta, _mm512_mul_pd(rho, kdEnd)));
      const __mmask8 below = _mm512_mask_cmp_pd_mask(lanes, ldd, zero, _CMP_LT_OQ);
      if (below != 0) {
        const int first = __builtin_ctz(below);
        alignas(64) double values[8];
        _mm512_store_pd(values, ldd);
        *negative = values[first];
        // The layers above the first negative one have their iterate, as
        // in the layer loop.
        const __m512d next = _mm512_div_pd(_mm512_maskz_loadu_pd(lanes, a.rhs + j), ldd);
        _mm512_mask_storeu_pd(a.y + j, __mmask8((1u << first) - 1u), next);
        return -(j + first);
      }
      ldd = _mm512_mask_mov_pd(one, lanes, ldd);
    }
    const __m512d next = _mm512_div_pd(_mm512_maskz_loadu_pd(lanes, a.rhs + j), ldd);
    _mm512_mask_storeu_pd(a.y + j, lanes, next);
    const __m512d change =
        _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(_mm512_sub_pd(next, c)), absMask));
    const __m512d bound = _mm512_mul_pd(
        tolerance, _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(next), absMask)));
    if (_mm512_mask_cmp_pd_mask(lanes, change, bound, _CMP_GT_OQ) != 0) converged = false;
  }
  return converged ? 1 : 0;
}

}  // namespace

int iterate(const IterateArgs& a, double* negative) {
  return iterate512(a, negative);
}

#else

bool available() {
  return false;
}
int iterate(const IterateArgs&, double*) {
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

KORVAN_VECTOR_CLONES bool finishInner(const FinishArgs& args) {
  const FinishArgs a = args;
  int negative = 0;
  if (a.updated) {
KORVAN_INDEPENDENT_ITERATIONS
    for (int j = 2; j < a.layers; ++j) negative |= finishLayer<true>(a, j, false, false);
  } else {
KORVAN_INDEPENDENT_ITERATIONS
    for (int j = 2; j < a.layers; ++j) negative |= finishLayer<false>(a, j, false, false);
  }
  return negative != 0;
}

}  // namespace korvan::sediment_kernels

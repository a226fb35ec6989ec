#include "core/vector_math.hpp"

#include <cmath>
#include <cstdlib>
#include <string>

#if defined(KORVAN_HAVE_LIBMVEC) && defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KORVAN_VECTOR_MATH 1
// The vector powers of the C library's vector maths (libmvec), 8 and 4 lanes.
extern "C" __attribute__((target("avx512f"))) __m512d _ZGVeN8vv_pow(__m512d, __m512d);
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4vv_pow(__m256d, __m256d);
#endif

namespace korvan::vecmath {

namespace {

void powScalar(const double* x, double e, double* y, std::size_t count) {
  for (std::size_t n = 0; n < count; ++n) y[n] = std::pow(x[n], e);
}

#ifdef KORVAN_VECTOR_MATH
__attribute__((target("avx512f"))) void powAvx512(const double* x, double e, double* y,
                                                  std::size_t count) {
  const __m512d ve = _mm512_set1_pd(e);
  std::size_t n = 0;
  for (; n + 8 <= count; n += 8) _mm512_storeu_pd(y + n, _ZGVeN8vv_pow(_mm512_loadu_pd(x + n), ve));
  if (n < count) {
    // The tail through a masked load: lanes past the end hold 1.
    const __mmask8 mask = static_cast<__mmask8>((1u << (count - n)) - 1u);
    const __m512d v = _mm512_mask_loadu_pd(_mm512_set1_pd(1.0), mask, x + n);
    _mm512_mask_storeu_pd(y + n, mask, _ZGVeN8vv_pow(v, ve));
  }
}

__attribute__((target("avx2"))) void powAvx2(const double* x, double e, double* y,
                                             std::size_t count) {
  const __m256d ve = _mm256_set1_pd(e);
  std::size_t n = 0;
  for (; n + 4 <= count; n += 4) _mm256_storeu_pd(y + n, _ZGVdN4vv_pow(_mm256_loadu_pd(x + n), ve));
  if (n < count) {
    alignas(32) double in[4] = {1.0, 1.0, 1.0, 1.0};
    alignas(32) double out[4];
    for (std::size_t m = n; m < count; ++m) in[m - n] = x[m];
    _mm256_store_pd(out, _ZGVdN4vv_pow(_mm256_load_pd(in), ve));
    for (std::size_t m = n; m < count; ++m) y[m] = out[m - n];
  }
}
#endif

Isa detect() {
  Isa best = Isa::Scalar;
#ifdef KORVAN_VECTOR_MATH
  if (__builtin_cpu_supports("avx512f")) {
    best = Isa::Avx512;
  } else if (__builtin_cpu_supports("avx2")) {
    best = Isa::Avx2;
  }
#endif
  if (const char* wish = std::getenv("KORVAN_SIMD")) {
    const std::string w = wish;
    if (w == "scalar") best = Isa::Scalar;
    if (w == "avx2" && best == Isa::Avx512) best = Isa::Avx2;
  }
  return best;
}

}  // namespace

Isa bestIsa() {
  static const Isa best = detect();
  return best;
}

std::string_view isaName(Isa isa) {
  switch (isa) {
    case Isa::Avx512:
      return "AVX-512";
    case Isa::Avx2:
      return "AVX2";
    case Isa::Scalar:
      break;
  }
  return "scalar";
}

void powArray(Isa isa, const double* x, double e, double* y, std::size_t count) {
#ifdef KORVAN_VECTOR_MATH
  if (isa == Isa::Avx512) return powAvx512(x, e, y, count);
  if (isa == Isa::Avx2) return powAvx2(x, e, y, count);
#endif
  (void)isa;
  powScalar(x, e, y, count);
}

void powArray(const double* x, double e, double* y, std::size_t count) {
  powArray(bestIsa(), x, e, y, count);
}

}  // namespace korvan::vecmath

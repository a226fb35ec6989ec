// Powers of many arguments to one exponent at once, as the Freundlich
// isotherms of a sediment column or of the segments need them. The widest
// vector unit of the processor is chosen when the program starts (AVX-512,
// AVX2, or one value at a time), so the same program runs on any x86-64
// processor. The vector forms come from the C library's vector maths and
// may differ from std::pow by one unit in the last place.
#pragma once

#include <cstddef>
#include <string_view>

// Loops over the layers of a column that the compiler vectorises run on the
// widest vector unit of the processor when their function carries this
// mark: one version per unit, chosen as the program loads. That is before a
// sanitizer's runtime is ready, so sanitized builds keep one plain version.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define KORVAN_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define KORVAN_VECTOR_CLONES
#endif

// The loop that follows carries no dependence between its iterations
// through memory (its stores do not feed its loads), so GCC may vectorise it
// without checking. Other compilers (clang builds the fuzz targets) decide
// for themselves.
#if defined(__GNUC__) && !defined(__clang__)
#define KORVAN_INDEPENDENT_ITERATIONS _Pragma("GCC ivdep")
#else
#define KORVAN_INDEPENDENT_ITERATIONS
#endif

namespace korvan::vecmath {

enum class Isa { Scalar, Avx2, Avx512 };

// The widest unit this processor has (KORVAN_SIMD=scalar, avx2 or avx512
// narrows the choice, for comparisons).
Isa bestIsa();
std::string_view isaName(Isa isa);

// y[n] = x[n]^e for n < count, with the unit isa (which the processor must
// have) or the best one.
void powArray(Isa isa, const double* x, double e, double* y, std::size_t count);
void powArray(const double* x, double e, double* y, std::size_t count);

}  // namespace korvan::vecmath

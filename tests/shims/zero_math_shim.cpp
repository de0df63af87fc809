// LD_PRELOAD shims for the tests of a math library replaced at load time,
// one function each, as the build names it: REPLACES_LOGF or REPLACES_COSF
// returns 0 for every input; REPLACES_VECTOR_COS, the C library's vector
// cosine of four doubles (x86-64), 0.5 for every lane. The process keeps
// the C library's own for the others.
#include <cmath>

#if defined(REPLACES_VECTOR_COS) && defined(__x86_64__)
#include <immintrin.h>
#endif

#if defined(REPLACES_LOGF)
extern "C" float logf(float /*x*/) { return 0.0F; }
#elif defined(REPLACES_COSF)
extern "C" float cosf(float /*x*/) { return 0.0F; }
#elif defined(REPLACES_VECTOR_COS) && defined(__x86_64__)
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the library's name
extern "C" [[gnu::target("avx")]] __m256d _ZGVdN4v_cos(__m256d /*x*/) { return _mm256_set1_pd(0.5); }
#endif

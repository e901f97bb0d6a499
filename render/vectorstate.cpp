#include "vectorstate.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

__attribute__((target("avx"))) void clearUpperVectorHalves()
{
    if (__builtin_cpu_supports("avx"))
        _mm256_zeroupper();
}
#else
void clearUpperVectorHalves() {}
#endif

// LD_PRELOAD shims for the tests of a math library replaced at load time,
// one function each, as the build names it: REPLACES_LOGF or REPLACES_COSF
// returns 0 for every input. The process keeps the C library's own for the
// other.
#include <cmath>

#if defined(REPLACES_LOGF)
extern "C" float logf(float /*x*/) { return 0.0F; }
#elif defined(REPLACES_COSF)
extern "C" float cosf(float /*x*/) { return 0.0F; }
#endif

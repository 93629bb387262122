// Built without AVX so that the check itself runs on any processor.
#include "platform/processor_features.h"

bool processorHasAvx2() {
#if defined(__x86_64__)
    // The compiler's check also asks the system whether it keeps the 256-bit
    // registers across switches.
    static const bool available = __builtin_cpu_supports("avx2") != 0;
    return available;
#else
    return false;
#endif
}

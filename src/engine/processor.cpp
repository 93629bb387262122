// Built without AVX so that the check itself runs on any processor.
#include "engine/processor.h"

namespace {

bool wideStepsAllowed = true;

bool wideStepsAvailable() {
#if defined(LUMIVUE_WIDE_STEPS)
    // The compiler's check also asks the system whether it keeps the 256-bit
    // registers across switches.
    static const bool available = __builtin_cpu_supports("avx2") != 0;
    return available;
#else
    return false;
#endif
}

}  // namespace

bool wideStepsEnabled() {
    return wideStepsAllowed && wideStepsAvailable();
}

void allowWideSteps(bool allowed) {
    wideStepsAllowed = allowed;
}

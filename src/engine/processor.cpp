#include "engine/processor.h"

#include "platform/processor_features.h"

namespace engine {

namespace {

bool wideStepsAllowed = true;

}  // namespace

bool wideStepsEnabled() {
#if defined(LUMIVUE_WIDE_STEPS)
    return wideStepsAllowed && processorHasAvx2();
#else
    return false;
#endif
}

void allowWideSteps(bool allowed) {
    wideStepsAllowed = allowed;
}

}  // namespace engine

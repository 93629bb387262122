// What the processor offers the warp beyond SSE2: the wide steps (see
// wide_steps.h) need AVX2, are built only for x86-64 and are chosen
// at run time, so the same program runs on processors without them.
#pragma once

namespace engine {

// Whether a rebuild starting now takes the wide steps.
bool wideStepsEnabled();

// Tests turn the wide steps off to run the SSE2 steps on the same machine.
void allowWideSteps(bool allowed);

}  // namespace engine

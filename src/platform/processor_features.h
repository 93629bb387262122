// What the processor offers beyond the x86-64 baseline (SSE2), asked once at
// run time, so that the same program runs on processors without it. Code for
// those features is built in files of its own (see lumivue_wide_source).
#pragma once

// The 256-bit integer and floating-point vectors (AVX2), with the system
// keeping their registers across thread switches. Always false off x86-64.
bool processorHasAvx2();

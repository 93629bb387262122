// Ctrl-C, a terminal closed, a TERM signal: tourpack stops at the next step
// and unwinds, so that the files a build made (the tour's .part file, the
// folder of converted pictures) are removed by their owners as on any failure.
#pragma once

#include "text/tourpack_error.h"

namespace tourpack {

class Interrupted : public TourpackError {
  public:
    Interrupted() : TourpackError("interrupted; the files made so far are removed") {}
};

// The exit code of an interrupted command (as a shell gives a program ended
// by SIGINT).
constexpr int interruptedExitCode = 130;

// Installs the handlers (SIGINT and SIGTERM on POSIX systems, a console
// control handler on Windows). A second interruption ends the process at once.
void catchInterruptions();

// Throws Interrupted once an interruption has come.
void stopIfInterrupted();

}  // namespace tourpack

// Base of every callback and listener passed between scenes, the scene media
// manager and the viewer.
#pragma once

#include <memory>

#include "package/payload.h"

namespace package {

class MediaCallback {
  public:
    virtual ~MediaCallback() = default;
    // Receives an extracted payload and owns it; null means the extraction failed.
    virtual void deliver(std::unique_ptr<Payload> payload) = 0;
};

}  // namespace package

// A test hook on the scene decoders' workers: holds back one scene's full
// decode so that its preview surely comes first.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "imaging/scene_decode.h"

namespace test_support {

// Holds the full decode of one scene on its worker until released (at most
// 20 s), so that the scene's preview surely comes first, as it does when the
// full decode is slow. Lives for the whole run: workers may look at it late.
class FullDecodeGate {
  public:
    static FullDecodeGate& instance() {
        static FullDecodeGate gate;
        return gate;
    }
    void hold(std::int32_t id) {
        ResetEvent(released_);
        id_ = id;
        imaging::setDecodeObserver(&FullDecodeGate::observe, this);
    }
    void release() {
        imaging::setDecodeObserver(nullptr, nullptr);
        SetEvent(released_);
    }

  private:
    FullDecodeGate() : released_(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {}
    static void observe(imaging::SceneDecode::Kind kind, std::int32_t id, void* context) {
        auto* gate = static_cast<FullDecodeGate*>(context);
        if (kind == imaging::SceneDecode::Kind::full && id == gate->id_) {
            WaitForSingleObject(gate->released_, 20000);
        }
    }
    std::atomic<std::int32_t> id_{0};
    HANDLE released_;  // the run's, never closed
};

}  // namespace test_support

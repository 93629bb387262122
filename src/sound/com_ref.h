// Holds one reference to a COM interface of the media graph.
#pragma once

#include <windows.h>

#include <utility>

namespace sound {

template <typename Interface>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Releases the held reference and returns where a new one is to be stored.
    void** receive() {
        reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    void reset() {
        if (pointer_ != nullptr) {
            std::exchange(pointer_, nullptr)->Release();
        }
    }

  private:
    Interface* pointer_ = nullptr;
};

}  // namespace sound

// Holds one reference to a COM interface: the one owner for the interfaces the
// player takes from the picture, media-graph and component services.
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

// Told, in order, of every reference a ComRef lets go of and of the thread
// leaving its COM apartment: a test build of the player records them to show
// that nothing is released after the apartment is gone. Null in the player.
struct ComWatch {
    void (*released)() = nullptr;
    void (*leftApartment)() = nullptr;
};
inline ComWatch comWatch;

// Holds one reference to a COM interface.
template <typename Interface>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // Releases the held reference and returns where a new one is to be stored.
    Interface** receive() {
        reset();
        return &pointer_;
    }
    // The same, for calls that take the interface as void** (QueryInterface).
    void** receiveVoid() { return reinterpret_cast<void**>(receive()); }
    void reset() {
        if (pointer_ != nullptr) {
            if (comWatch.released != nullptr) {
                comWatch.released();
            }
            std::exchange(pointer_, nullptr)->Release();
        }
    }

  private:
    Interface* pointer_ = nullptr;
};

}  // namespace platform

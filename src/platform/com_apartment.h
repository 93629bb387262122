// The thread's membership of the single-threaded COM apartment: entered when
// made, left when reset or gone. Leave it only after every COM object the
// thread holds has been released.
#pragma once

#include <objbase.h>

#include <utility>

#include "platform/com_ref.h"

namespace platform {

class ComApartment {
  public:
    ComApartment() : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() { reset(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool entered() const { return entered_; }
    void reset() {
        if (std::exchange(entered_, false)) {
            if (comWatch.leftApartment != nullptr) {
                comWatch.leftApartment();
            }
            CoUninitialize();
        }
    }

  private:
    bool entered_;
};

}  // namespace platform

// The scoped owner of a display-dib drawing handle (DrawDibOpen).
#pragma once

#include <windows.h>
#include <vfw.h>

#include "platform/scoped_handle.h"

namespace platform {

namespace handle_kinds {
struct DisplayDib {
    using Handle = HDRAWDIB;
    static Handle none() { return nullptr; }
    static void free(Handle drawing) { DrawDibClose(drawing); }
};
}  // namespace handle_kinds

using UniqueDisplayDib = ScopedHandle<handle_kinds::DisplayDib>;

}  // namespace platform

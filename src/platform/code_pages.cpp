#include "platform/code_pages.h"

#include "platform/code_pages_system.h"

namespace platform {

bool systemConvertsCodePage(std::uint32_t codePage) {
    // 0 to 3 name the system's, the OEM, the Macintosh and the thread's code
    // page; 42 is the symbol page, which maps to no characters.
    constexpr std::uint32_t symbolCodePage = 42;
    if (codePage <= 3 || codePage == symbolCodePage || codePage > 65535) {
        return false;
    }
    return converterKnows(codePage);
}

}  // namespace platform

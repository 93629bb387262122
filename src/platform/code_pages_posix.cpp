#include <iconv.h>

#include <string>

#include "platform/code_pages_system.h"

namespace platform {

// The C library's converter names Windows code pages "CP" and the number.
bool converterKnows(std::uint32_t codePage) {
    const std::string name = "CP" + std::to_string(codePage);
    const iconv_t converter = iconv_open("UTF-8", name.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    iconv_close(converter);
    return true;
}

}  // namespace platform

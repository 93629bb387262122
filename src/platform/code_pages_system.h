// The system's side of code_pages.h: whether its converter knows a code page.
#pragma once

#include <cstdint>

namespace platform {

bool converterKnows(std::uint32_t codePage);

}  // namespace platform

// The Windows code pages a tour's texts may be stored in: whether this system
// converts one, and on Windows the conversion to the UTF-16 the interface
// shows. Texts of a tour that names no code page are in the system's own.
// (Text encoding only: nothing here touches a file.)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The system's ANSI code page, as the conversion calls name it.
inline constexpr std::uint32_t systemCodePage = 0;

// Whether texts in Windows code page `codePage` can be converted here: a real
// code page (not one of the names for "the system's", nor the symbol page)
// that the system's converter knows.
bool systemConvertsCodePage(std::uint32_t codePage);

#ifdef _WIN32
// `text` in `codePage` (systemCodePage: the system's own) as UTF-16.
std::wstring widen(std::string_view text, std::uint32_t codePage);
// `text` as UTF-8.
std::string utf8(std::wstring_view text);
#endif

}  // namespace platform

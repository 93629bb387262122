// Manifests are UTF-8; the player shows texts in the Windows-1252 code page.
#pragma once

#include <string>

namespace tourpack {

// Converts UTF-8 to Windows-1252. Returns false, with the offending character
// in `unmappable` (as UTF-8), when a character has no place in the code page or
// the text is not valid UTF-8.
bool utf8ToWindows1252(const std::string& utf8, std::string& out, std::string& unmappable);

// Every byte has a meaning: the five unassigned bytes map to the control
// characters of the same number, as Windows maps them, so that the round trip
// is exact.
std::string windows1252ToUtf8(const std::string& text);

}  // namespace tourpack

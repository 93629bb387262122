// Manifests are UTF-8; a tour stores its texts in one single-byte Windows code
// page, recorded in the package's extension block (Windows-1252 when absent).
#pragma once

#include <string>
#include <vector>

namespace tourpack {

constexpr int defaultTextCodePage = 1252;

// Converts UTF-8 to `codePage`. Returns false, with the offending character
// in `unmappable` (as UTF-8), when a character has no place in the code page or
// the text is not valid UTF-8.
bool utf8ToCodePage(int codePage, const std::string& utf8, std::string& out,
                    std::string& unmappable);

// Every byte has a meaning, so that the round trip is exact: a byte the code
// page leaves unassigned maps to the control character of the same number
// (0x80 to 0x9F, as Windows maps them) or to the private-use character
// U+F700 plus the byte.
std::string codePageToUtf8(int codePage, const std::string& text);

bool utf8ToWindows1252(const std::string& utf8, std::string& out, std::string& unmappable);
std::string windows1252ToUtf8(const std::string& text);

// A text of the tour and the manifest field it comes from ("scenes[2].name").
struct NamedText {
    std::string field;
    std::string utf8;
};

// The code page for a tour's texts: Windows-1252 when it holds them all, else
// the one code page that does. When none does, `codePage` is 0 and `refusal`
// names the characters the closest code page lacks and the texts they are in.
struct CodePageChoice {
    int codePage = 0;
    std::string refusal;
};
CodePageChoice chooseCodePage(const std::vector<NamedText>& texts);

// "Windows-1251 (Cyrillic)".
std::string describeCodePage(int codePage);

}  // namespace tourpack

// Paths and UTF-8 text. tourpack keeps every text in UTF-8; on Windows a
// path made from a narrow string, or given back as one, would go through the
// ANSI code page instead and lose every character outside it, so paths cross
// to and from text only here.
#pragma once

#include <filesystem>
#include <string>

namespace tourpack {

inline std::filesystem::path pathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace tourpack

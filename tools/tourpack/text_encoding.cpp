#include "text_encoding.h"

#include <cstdint>

namespace tourpack {
namespace {

// Code points of bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::uint16_t highControlBlock[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint32_t codePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return highControlBlock[byte - 0x80];
    }
    return byte;
}

bool byteFor(std::uint32_t codePoint, char& byte) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        byte = static_cast<char>(codePoint);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (highControlBlock[i] == codePoint) {
            byte = static_cast<char>(0x80 + i);
            return true;
        }
    }
    return false;
}

void appendUtf8(std::uint32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

}  // namespace

bool utf8ToWindows1252(const std::string& utf8, std::string& out, std::string& unmappable) {
    out.clear();
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        std::uint32_t codePoint = 0;
        if (lead < 0x80) {
            codePoint = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            codePoint = lead & 0x07;
        } else {
            unmappable = "byte " + std::to_string(lead) + " (not UTF-8)";
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= utf8.size() && extra > 0) {
            unmappable = "a cut-off UTF-8 sequence";
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                unmappable = "a broken UTF-8 sequence";
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        char byte = 0;
        if (!byteFor(codePoint, byte)) {
            unmappable = utf8.substr(i, static_cast<std::size_t>(extra) + 1);
            return false;
        }
        out += byte;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

std::string windows1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char byte : text) {
        appendUtf8(codePointOf(static_cast<unsigned char>(byte)), out);
    }
    return out;
}

}  // namespace tourpack

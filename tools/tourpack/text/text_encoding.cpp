#include "text/text_encoding.h"

#include <cstdint>
#include <map>
#include <set>

#include "text/code_page_tables.h"

namespace tourpack {
namespace {

constexpr std::uint32_t privateUseBase = 0xF700;

std::uint32_t codePointOf(const CodePageTable& table, unsigned char byte) {
    if (byte < 0x80) {
        return byte;
    }
    const std::uint16_t assigned = table.upper[byte - 0x80];
    if (assigned != 0) {
        return assigned;
    }
    return byte < 0xA0 ? byte : privateUseBase + byte;
}

bool byteFor(const CodePageTable& table, std::uint32_t codePoint, char& byte) {
    if (codePoint < 0x80) {
        byte = static_cast<char>(codePoint);
        return true;
    }
    for (unsigned value = 0x80; value <= 0xFF; ++value) {
        if (codePointOf(table, static_cast<unsigned char>(value)) == codePoint) {
            byte = static_cast<char>(value);
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

// One UTF-8 character of `utf8` at `i`: its code point and its length in
// bytes; false, with `fault` saying why, when the bytes are not UTF-8.
bool nextCharacter(const std::string& utf8, std::size_t i, std::uint32_t& codePoint,
                   std::size_t& length, std::string& fault) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    int extra = 0;
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
        fault = "byte " + std::to_string(lead) + " (not UTF-8)";
        return false;
    }
    if (i + static_cast<std::size_t>(extra) >= utf8.size() && extra > 0) {
        fault = "a cut-off UTF-8 sequence";
        return false;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
        if ((next & 0xC0) != 0x80) {
            fault = "a broken UTF-8 sequence";
            return false;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    length = static_cast<std::size_t>(extra) + 1;
    return true;
}

// Every character of the texts that is not ASCII, with the fields it is in.
using CharacterUse = std::map<std::string, std::set<std::string>>;

CharacterUse nonAsciiCharacters(const std::vector<NamedText>& texts) {
    CharacterUse used;
    for (const NamedText& text : texts) {
        std::size_t i = 0;
        while (i < text.utf8.size()) {
            std::uint32_t codePoint = 0;
            std::size_t length = 1;
            std::string fault;
            if (!nextCharacter(text.utf8, i, codePoint, length, fault)) {
                used[fault].insert(text.field);
                break;
            }
            if (codePoint >= 0x80) {
                used[text.utf8.substr(i, length)].insert(text.field);
            }
            i += length;
        }
    }
    return used;
}

std::vector<std::string> missingFrom(int codePage, const CharacterUse& used) {
    std::vector<std::string> missing;
    for (const auto& [character, fields] : used) {
        std::string ignored;
        std::string unmappable;
        if (!utf8ToCodePage(codePage, character, ignored, unmappable)) {
            missing.push_back(character);
        }
    }
    return missing;
}

std::string joinFields(const std::set<std::string>& fields) {
    std::string joined;
    for (const std::string& field : fields) {
        joined += (joined.empty() ? "" : ", ") + field;
    }
    return joined;
}

}  // namespace

bool utf8ToCodePage(int codePage, const std::string& utf8, std::string& out,
                    std::string& unmappable) {
    out.clear();
    const CodePageTable* table = findCodePageTable(codePage);
    if (table == nullptr) {
        unmappable = "text (code page " + std::to_string(codePage) + " is not one tourpack knows)";
        return false;
    }
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::uint32_t codePoint = 0;
        std::size_t length = 1;
        if (!nextCharacter(utf8, i, codePoint, length, unmappable)) {
            return false;
        }
        char byte = 0;
        if (!byteFor(*table, codePoint, byte)) {
            unmappable = utf8.substr(i, length);
            return false;
        }
        out += byte;
        i += length;
    }
    return true;
}

std::string codePageToUtf8(int codePage, const std::string& text) {
    const CodePageTable* table = findCodePageTable(codePage);
    if (table == nullptr) {
        table = findCodePageTable(defaultTextCodePage);
    }
    std::string out;
    out.reserve(text.size());
    for (const char byte : text) {
        appendUtf8(codePointOf(*table, static_cast<unsigned char>(byte)), out);
    }
    return out;
}

bool utf8ToWindows1252(const std::string& utf8, std::string& out, std::string& unmappable) {
    return utf8ToCodePage(defaultTextCodePage, utf8, out, unmappable);
}

std::string windows1252ToUtf8(const std::string& text) {
    return codePageToUtf8(defaultTextCodePage, text);
}

std::string describeCodePage(int codePage) {
    const CodePageTable* table = findCodePageTable(codePage);
    return "Windows-" + std::to_string(codePage) +
           (table != nullptr ? " (" + std::string(table->script) + ")" : "");
}

CodePageChoice chooseCodePage(const std::vector<NamedText>& texts) {
    const CharacterUse used = nonAsciiCharacters(texts);
    int closest = defaultTextCodePage;
    std::vector<std::string> closestMissing;
    bool first = true;
    for (const CodePageTable& table : codePageTables()) {
        const std::vector<std::string> missing = missingFrom(table.codePage, used);
        if (missing.empty()) {
            return {table.codePage, ""};
        }
        if (first || missing.size() < closestMissing.size()) {
            closest = table.codePage;
            closestMissing = missing;
            first = false;
        }
    }
    std::string named;
    for (const std::string& character : closestMissing) {
        named += (named.empty() ? "" : "; ") +
                 ("'" + character + "' in " + joinFields(used.at(character)));
    }
    return {0, "no single code page covers these characters (the closest, " +
                   describeCodePage(closest) + ", lacks " + named +
                   "); keep each tour's texts to one script"};
}

}  // namespace tourpack

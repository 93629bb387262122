#include "package/scene_note.h"

#include <cctype>

namespace package::note_rules {

namespace {

// The length of the sequence a lead byte starts, 0 for a byte no sequence
// starts with (a continuation byte, or one that only overlong or too large
// forms use).
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// The range the second byte must lie in after `lead`: narrower than a plain
// continuation byte where that alone excludes overlong forms, surrogates and
// values past U+10FFFF.
bool secondByteFits(unsigned char lead, unsigned char second) {
    switch (lead) {
        case 0xE0:
            return second >= 0xA0 && second <= 0xBF;
        case 0xED:
            return second >= 0x80 && second <= 0x9F;
        case 0xF0:
            return second >= 0x90 && second <= 0xBF;
        case 0xF4:
            return second >= 0x80 && second <= 0x8F;
        default:
            return second >= 0x80 && second <= 0xBF;
    }
}

bool isControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

// "" when `text` is well-formed UTF-8 of at most `limit` characters.
std::string sizeFault(std::string_view text, std::size_t limit) {
    const std::optional<std::size_t> count = characterCount(text);
    if (!count) {
        return "not well-formed UTF-8";
    }
    if (*count > limit) {
        return std::to_string(*count) + " characters; at most " + std::to_string(limit) +
               " are kept";
    }
    return "";
}

bool startsWithScheme(std::string_view link, std::string_view scheme) {
    if (link.size() < scheme.size()) {
        return false;
    }
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(link[i])) != scheme[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::size_t> characterCount(std::string_view utf8) {
    std::size_t count = 0;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const std::size_t length = sequenceLength(lead);
        if (length == 0 || length > utf8.size() - at) {
            return std::nullopt;
        }
        if (length > 1 && !secondByteFits(lead, static_cast<unsigned char>(utf8[at + 1]))) {
            return std::nullopt;
        }
        for (std::size_t k = 2; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[at + k]);
            if (next < 0x80 || next > 0xBF) {
                return std::nullopt;
            }
        }
        at += length;
        ++count;
    }
    return count;
}

std::string titleFault(std::string_view title) {
    if (title.empty()) {
        return "empty; the marker shows the title, so a note needs one";
    }
    for (const char c : title) {
        if (isControl(static_cast<unsigned char>(c))) {
            return "a title is one line, without control characters";
        }
    }
    return sizeFault(title, maximumTitleCharacters);
}

std::string textFault(std::string_view text) {
    for (const char c : text) {
        if (isControl(static_cast<unsigned char>(c)) && c != '\n' && c != '\t') {
            return "holds a control character (only line ends and tabs are kept)";
        }
    }
    return sizeFault(text, maximumTextCharacters);
}

std::string linkFault(std::string_view link) {
    if (link.empty()) {
        return "";
    }
    if (link.size() > maximumLinkBytes) {
        return std::to_string(link.size()) + " bytes; an address holds at most " +
               std::to_string(maximumLinkBytes);
    }
    std::size_t schemeEnd = 0;
    if (startsWithScheme(link, "https://")) {
        schemeEnd = 8;
    } else if (startsWithScheme(link, "http://")) {
        schemeEnd = 7;
    } else {
        return "not an http:// or https:// address";
    }
    if (schemeEnd == link.size() || link[schemeEnd] == '/' || link[schemeEnd] == '?' ||
        link[schemeEnd] == '#') {
        return "the address names no host";
    }
    for (const char c : link) {
        if (isControl(static_cast<unsigned char>(c)) || c == ' ') {
            return "an address holds no blanks or control characters";
        }
    }
    if (!characterCount(link)) {
        return "not well-formed UTF-8";
    }
    return "";
}

}  // namespace package::note_rules

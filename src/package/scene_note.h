// A note pinned in a scene's panorama: a marker at a direction that opens a
// card with a title, a text, perhaps a picture and a web address. Its texts
// are UTF-8 whatever code page the tour's other texts are stored in, so that
// one tour can mix scripts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace package {

// Where a note's picture (a JPEG, GIF or BMP of at most 640 x 480) lies in
// the tour's file.
struct NotePicture {
    std::int64_t offset = 0;
    std::int32_t length = 0;
};

struct SceneNote {
    // Where the marker lies, in degrees, with the signs of a scene's start
    // view (a positive tilt lies below the horizon).
    float pan = 0.0f;
    float tilt = 0.0f;
    std::string title;  // one line, 1 to 80 characters
    // Up to 4,000 characters; lines end with "\n", and a blank line
    // ("\n\n") separates paragraphs.
    std::string text;
    std::string link;  // empty, or an http:// or https:// address
    std::optional<NotePicture> picture;
};

// The rules a note's texts keep, which the reader and tourpack apply alike.
namespace note_rules {

inline constexpr std::size_t maximumTitleCharacters = 80;
inline constexpr std::size_t maximumTextCharacters = 4000;
inline constexpr std::size_t maximumLinkBytes = 2048;

// The characters (code points) of well-formed UTF-8, or nothing for bytes
// that are not (overlong forms, surrogates and values past U+10FFFF
// included).
std::optional<std::size_t> characterCount(std::string_view utf8);

// Each says what is wrong with a title, a text or a link, for people; empty
// when nothing is. A title is one line without control characters; a text
// may hold line ends and tabs; a link is empty or an http:// or https://
// address without blanks or control characters.
std::string titleFault(std::string_view title);
std::string textFault(std::string_view text);
std::string linkFault(std::string_view link);

}  // namespace note_rules

}  // namespace package

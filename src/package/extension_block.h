// The extension block: what a tour carries beyond the record stream, stored
// after the stream's last field and before the trailer, where older readers
// skip bytes unread. It is written in the record stream's own field kinds:
//
//   STRING  marker "LUMIVUE-EXTENSIONS"
//   INT     layout version (1)
//   INT     number of sections
//   then per section: STRING tag, LONG length of the content, the content.
//
// A reader skips a section whose tag it does not know, so later additions need
// no new version. The "links" section holds, for each scene of the tour in
// order, an INT number of links and per link: INT target scene (from 1), FLOAT
// pan, FLOAT tilt, STRING label, FLAG "has a view", FLOAT view pan, FLOAT view
// tilt, FLOAT view field of view (the three written as 0 without a view).
// The "text-code-page" section holds one INT: the Windows code page the
// tour's texts (title, scene names, information, link labels) are stored in.
// A tour without it, or with a code page the system cannot convert, has its
// texts shown in the code page of the system that shows it.
// The "sampling" section holds one STRING: "smooth" or "nearest", how the
// view reads the panorama. A tour without it, or with another word (a later
// writer's), is shown smoothly.
// The "previews" section holds a small JPEG of every scene, for a first look
// before the full picture is decoded: an INT number of scenes (the tour's),
// then per scene in order: INT its position (from 1), and its JPEG as a STRING
// (LONG length, the bytes; length 0 for a scene without one). A section that
// breaks any of this leaves the tour without previews and the rest of the
// block counting: previews are derived, never worth a tour's links.
// The "notes" section holds the notes pinned in the scenes' panoramas: an INT
// number of scenes (the tour's), then per scene in order an INT number of
// notes (at most 64) and per note: FLOAT pan, FLOAT tilt (a link's limits),
// STRING title, STRING text, STRING link (empty for none), INT picture (0 for
// none, else its number in the list that follows, from 1); then an INT number
// of pictures and each picture as a STRING (LONG length, at least 1, and the
// bytes of a JPEG, GIF or BMP of at most 640 x 480). A picture several notes
// show is stored once. The three texts are UTF-8, whatever the
// text-code-page section says, and keep the rules of scene_note.h (a title of
// 1 to 80 characters on one line, a text of at most 4,000 characters whose
// only control characters are line ends and tabs, an http:// or https://
// address). The reader gives each note its picture's place in the file and
// reads none of its bytes. A section that breaks any of this inside its
// declared length leaves the tour without notes and the rest of the block
// counting: a note is shown or not, and a damaged one must not cost the
// tour's links; so does a second notes section.
// The "transition" section holds one STRING: "walk", "fade" or "none", how
// the view passes from scene to scene. A tour without it, or with another
// word (a later writer's), walks.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "package/tour.h"

namespace package {

namespace extension_block {

inline constexpr char marker[] = "LUMIVUE-EXTENSIONS";
inline constexpr std::int32_t version = 1;
inline constexpr char linksTag[] = "links";
inline constexpr char textCodePageTag[] = "text-code-page";
inline constexpr char samplingTag[] = "sampling";
inline constexpr char previewsTag[] = "previews";
inline constexpr char notesTag[] = "notes";
inline constexpr char transitionTag[] = "transition";
inline constexpr char smoothSampling[] = "smooth";
inline constexpr char nearestSampling[] = "nearest";
inline constexpr char walkTransition[] = "walk";
inline constexpr char fadeTransition[] = "fade";
inline constexpr char noTransition[] = "none";
inline constexpr std::int32_t maximumLinksPerScene = 64;
inline constexpr std::int32_t maximumNotesPerScene = 64;
// The box a note's picture fits in.
inline constexpr std::int32_t notePictureWidth = 640;
inline constexpr std::int32_t notePictureHeight = 480;

// The angles a link, and the view it opens at, may hold (a scene's start view
// takes the same).
inline constexpr float panLimit = 180.0f;
inline constexpr float tiltLimit = 90.0f;
inline constexpr float smallestFieldOfView = 12.0f;
inline constexpr float largestFieldOfView = 165.0f;

}  // namespace extension_block

// What became of a tour's extension block.
struct ExtensionBlockStatus {
    enum Kind { absent, read, ignored };
    Kind kind = absent;
    std::int64_t offset = 0;      // ignored: where the reader found the fault
    std::string what;             // ignored: for people, what was wrong
    std::string previewsIgnored;  // read: why the previews section was passed over, if it was
    std::string notesIgnored;     // read: why the notes section was passed over, if it was
};

// Reads the block that may lie in [begin, end) of `stream` (the bytes between
// the record stream and the trailer) and gives the tour's scenes their links
// and notes.
// Every count, length and target is checked against the bytes left and the
// tour; a block that fails any check is ignored as a whole and the scenes keep
// no links. A "text-code-page" section of the right form whose code page the
// system cannot convert is passed over alone: the rest of the block counts; so
// is a previews or a notes section that is damaged inside its declared
// length. Bytes that do not start with the marker are no block.
ExtensionBlockStatus readExtensionBlock(std::istream& stream, std::int64_t begin, std::int64_t end,
                                        Tour& tour);

}  // namespace package

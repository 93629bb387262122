// The links and notes of the scene on screen as the view shows them: each
// one in front of the viewer as a marker where the picture on screen shows
// its direction (a link's and a note's markers differ), the hovered and the
// keyboard's highlighted one drawn highlighted with their labels beside them,
// and the hit test of the pointer. Links and notes share one index space,
// the links first (mark `linkCount() + k` is note k), so that the pointer and
// the keys treat them alike. The markers
// and labels are drawn over the view pixels just before they go to the
// screen; the pixels they cover are kept and put back before the next drawing
// over the same picture, so that nothing is left behind when a link moves.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/link_projection.h"
#include "engine/marker_compositing.h"
#include "package/scene_link.h"
#include "package/scene_note.h"
#include "platform/scoped_handle.h"
#include "viewer/marker_bitmaps.h"

namespace viewer {

// A press released within this many pixels of where it went down (in each
// direction) is a click; farther, it was a drag.
inline constexpr std::int32_t clickSlop = 4;

// The view centre as a fragment of a tour manifest, for authors:
// "pan": 42.5, "tilt": 4.0, "fieldOfView": 90 (degrees, one decimal; a whole
// field of view without it).
std::string viewFragment(float panDegrees, float tiltDegrees, float fovDegrees);

enum class MarkKind { link, note };

class LinkOverlay {
  public:
    LinkOverlay();

    // The marker pictures of links and of notes (an empty one is replaced by
    // the built-in marker of its kind) and the whole factor they and the
    // labels are enlarged by.
    void setPictures(MarkerBitmap normal, MarkerBitmap highlighted);
    void setNotePictures(MarkerBitmap normal, MarkerBitmap highlighted);
    void setScale(std::int32_t scale);
    std::int32_t scale() const { return scale_; }

    // The links of the scene now shown and the text each one's label shows;
    // no hover and no highlight.
    void setLinks(std::vector<package::SceneLink> links, std::vector<std::string> labels);
    // The notes of the scene now shown, each labelled with its title; no
    // hover and no highlight.
    void setNotes(std::vector<package::SceneNote> notes);
    // The Windows code page the links' labels are written in (0: the
    // system's); notes' titles are UTF-8 whatever it is.
    void setTextCodePage(std::uint32_t codePage) { textCodePage_ = codePage; }
    std::size_t linkCount() const { return links_.size(); }
    const package::SceneLink& link(std::size_t index) const { return links_[index]; }
    std::size_t noteCount() const { return notes_.size(); }
    const package::SceneNote& note(std::size_t index) const { return notes_[index]; }
    std::size_t markCount() const { return links_.size() + notes_.size(); }
    MarkKind kindOf(std::size_t mark) const {
        return mark < links_.size() ? MarkKind::link : MarkKind::note;
    }
    // The note a mark is (valid for a note's mark only), and the other way.
    std::size_t noteOf(std::size_t mark) const { return mark - links_.size(); }
    std::size_t markOfNote(std::size_t note) const { return links_.size() + note; }
    // The text mark `mark`'s label shows.
    std::wstring labelOf(std::size_t mark) const;

    // Places the marks in the picture on screen. A highlight whose mark has
    // left the view goes.
    void place(const engine::ShownView& shown);
    // Where mark `index` was placed at the last drawing; nothing when it is
    // not on screen.
    std::optional<engine::ViewPoint> placeOf(std::size_t index) const;
    // The mark whose marker holds view pixel (x, y), the one drawn on top.
    std::optional<std::size_t> markAt(std::int32_t x, std::int32_t y) const;

    // Where the pointer is over the view (nothing: elsewhere); the marker
    // under it is the hovered one, at every placing. Each of these returns
    // whether what is drawn changes.
    bool setPointer(std::optional<POINT> pointer);
    // The next (or previous) mark on screen from left to right after the
    // highlighted one, links and notes alike, round again after the last.
    bool highlightNext(bool backwards);
    bool clearHighlight();
    std::optional<std::size_t> hovered() const { return hovered_; }
    std::optional<std::size_t> highlighted() const { return highlighted_; }

    // Puts back what the last drawing covered unless the view was written
    // afresh since (`pictureCount`, the warper's), places the marks and draws
    // them over `view`, whose pixels are those of the DIB section `section`.
    void drawOver(const engine::ViewBuffer& view, const engine::ShownView& shown,
                  std::uint32_t pictureCount, HBITMAP section);
    // The view bitmap was replaced: what was kept of the old one is dropped.
    void viewReplaced();

  private:
    struct Placed {
        std::size_t index;
        engine::ViewPoint point;
        engine::PixelRect rect;
    };
    bool isDrawnHighlighted(std::size_t index) const;
    const MarkerBitmap& pictureOf(std::size_t index) const;
    void drawLabel(HDC dc, const engine::ViewBuffer& view, const Placed& placed);
    void forgetPointerAndKeys();

    MarkerBitmap normal_;
    MarkerBitmap highlightedPicture_;
    MarkerBitmap noteNormal_;
    MarkerBitmap noteHighlighted_;
    std::int32_t scale_ = 1;
    std::vector<package::SceneLink> links_;
    std::vector<std::string> labels_;
    std::vector<package::SceneNote> notes_;
    std::uint32_t textCodePage_ = 0;
    std::vector<Placed> placed_;  // in the order drawn
    std::optional<POINT> pointer_;
    std::optional<std::size_t> hovered_;
    std::optional<std::size_t> highlighted_;
    engine::CoveredPixels covered_;
    std::optional<std::uint32_t> drawnPicture_;
    platform::UniqueFont font_;
};

}  // namespace viewer

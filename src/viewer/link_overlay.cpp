#include "viewer/link_overlay.h"

#include "platform/code_pages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace viewer {

namespace {

// Label text and box: light on dark, readable on any panorama.
constexpr COLORREF labelText = RGB(255, 255, 255);
constexpr COLORREF labelBox = RGB(24, 28, 36);
constexpr std::int32_t labelGap = 4;      // between marker and label
constexpr std::int32_t labelPadding = 3;  // around the text
constexpr std::int32_t labelFontHeight = 13;

// One decimal, without a sign on a zero.
std::string oneDecimal(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
    std::string result = text;
    if (result == "-0.0") {
        result = "0.0";
    }
    return result;
}

}  // namespace

std::string viewFragment(float panDegrees, float tiltDegrees, float fovDegrees) {
    std::string fov = oneDecimal(fovDegrees);
    if (fov.size() > 2 && fov.compare(fov.size() - 2, 2, ".0") == 0) {
        fov.resize(fov.size() - 2);
    }
    return "\"pan\": " + oneDecimal(panDegrees) + ", \"tilt\": " + oneDecimal(tiltDegrees) +
           ", \"fieldOfView\": " + fov;
}

LinkOverlay::LinkOverlay()
    : normal_(MarkerBitmap::builtIn(false)),
      highlightedPicture_(MarkerBitmap::builtIn(true)),
      noteNormal_(MarkerBitmap::builtInNote(false)),
      noteHighlighted_(MarkerBitmap::builtInNote(true)) {
    setScale(1);
}

void LinkOverlay::setPictures(MarkerBitmap normal, MarkerBitmap highlighted) {
    normal_ = normal.empty() ? MarkerBitmap::builtIn(false) : std::move(normal);
    highlightedPicture_ =
        highlighted.empty() ? MarkerBitmap::builtIn(true) : std::move(highlighted);
}

void LinkOverlay::setNotePictures(MarkerBitmap normal, MarkerBitmap highlighted) {
    noteNormal_ = normal.empty() ? MarkerBitmap::builtInNote(false) : std::move(normal);
    noteHighlighted_ =
        highlighted.empty() ? MarkerBitmap::builtInNote(true) : std::move(highlighted);
}

void LinkOverlay::setScale(std::int32_t scale) {
    scale_ = std::max(scale, 1);
    font_.reset(CreateFontA(-labelFontHeight * scale_, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma"));
}

void LinkOverlay::setLinks(std::vector<package::SceneLink> links, std::vector<std::string> labels) {
    links_ = std::move(links);
    labels_ = std::move(labels);
    labels_.resize(links_.size());
    forgetPointerAndKeys();
}

void LinkOverlay::setNotes(std::vector<package::SceneNote> notes) {
    notes_ = std::move(notes);
    forgetPointerAndKeys();
}

void LinkOverlay::forgetPointerAndKeys() {
    placed_.clear();
    hovered_.reset();
    highlighted_.reset();
}

std::wstring LinkOverlay::labelOf(std::size_t mark) const {
    if (mark >= markCount()) {
        return {};
    }
    if (kindOf(mark) == MarkKind::note) {
        return platform::widen(notes_[noteOf(mark)].title, CP_UTF8);
    }
    return platform::widen(labels_[mark], textCodePage_);
}

const MarkerBitmap& LinkOverlay::pictureOf(std::size_t index) const {
    const bool lit = isDrawnHighlighted(index);
    if (kindOf(index) == MarkKind::note) {
        return lit ? noteHighlighted_ : noteNormal_;
    }
    return lit ? highlightedPicture_ : normal_;
}

void LinkOverlay::place(const engine::ShownView& shown) {
    placed_.clear();
    for (std::size_t index = 0; index < markCount(); ++index) {
        const bool isLink = kindOf(index) == MarkKind::link;
        const float pan = isLink ? links_[index].pan : notes_[noteOf(index)].pan;
        const float tilt = isLink ? links_[index].tilt : notes_[noteOf(index)].tilt;
        if (const auto point = engine::viewPointOfDegrees(shown, pan, tilt)) {
            const MarkerBitmap& picture = isLink ? normal_ : noteNormal_;
            const engine::PixelRect rect =
                engine::markerRect(picture.picture(), point->column(), point->row(), scale_);
            placed_.push_back(Placed{index, *point, rect});
        }
    }
    hovered_.reset();
    if (pointer_) {
        hovered_ = markAt(pointer_->x, pointer_->y);
    }
    // The highlighted ones last, so that they lie on top.
    std::stable_partition(placed_.begin(), placed_.end(),
                          [&](const Placed& p) { return !isDrawnHighlighted(p.index); });
    if (highlighted_ && !placeOf(*highlighted_)) {
        highlighted_.reset();
    }
}

std::optional<engine::ViewPoint> LinkOverlay::placeOf(std::size_t index) const {
    for (const Placed& placed : placed_) {
        if (placed.index == index) {
            return placed.point;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> LinkOverlay::markAt(std::int32_t x, std::int32_t y) const {
    for (auto placed = placed_.rbegin(); placed != placed_.rend(); ++placed) {
        if (placed->rect.contains(x, y)) {
            return placed->index;
        }
    }
    return std::nullopt;
}

bool LinkOverlay::setPointer(std::optional<POINT> pointer) {
    pointer_ = pointer;
    const std::optional<std::size_t> before = hovered_;
    hovered_.reset();
    if (pointer_) {
        hovered_ = markAt(pointer_->x, pointer_->y);
    }
    return hovered_ != before;
}

bool LinkOverlay::highlightNext(bool backwards) {
    std::vector<const Placed*> order;
    for (const Placed& placed : placed_) {
        order.push_back(&placed);
    }
    if (order.empty()) {
        return clearHighlight();
    }
    std::sort(order.begin(), order.end(), [](const Placed* a, const Placed* b) {
        return a->point.x != b->point.x ? a->point.x < b->point.x : a->index < b->index;
    });
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    std::ptrdiff_t next = backwards ? count - 1 : 0;
    for (std::ptrdiff_t k = 0; k < count && highlighted_; ++k) {
        if (order[static_cast<std::size_t>(k)]->index == *highlighted_) {
            next = ((backwards ? k - 1 : k + 1) + count) % count;
            break;
        }
    }
    highlighted_ = order[static_cast<std::size_t>(next)]->index;
    return true;
}

bool LinkOverlay::clearHighlight() {
    const bool had = highlighted_.has_value();
    highlighted_.reset();
    return had;
}

bool LinkOverlay::isDrawnHighlighted(std::size_t index) const {
    return index == hovered_ || index == highlighted_;
}

void LinkOverlay::viewReplaced() {
    covered_.forget();
    drawnPicture_.reset();
}

void LinkOverlay::drawOver(const engine::ViewBuffer& view, const engine::ShownView& shown,
                           std::uint32_t pictureCount, HBITMAP section) {
    if (drawnPicture_ == pictureCount) {
        covered_.restore(view);
    } else {
        covered_.forget();  // the view was written afresh: nothing of ours is left in it
    }
    drawnPicture_ = pictureCount;
    place(shown);
    if (placed_.empty()) {
        return;
    }
    for (const Placed& placed : placed_) {
        const MarkerBitmap& marker = pictureOf(placed.index);
        const engine::PixelRect rect =
            engine::markerRect(marker.picture(), placed.point.column(), placed.point.row(), scale_);
        covered_.keep(view, rect);
        engine::compositeMarker(view, marker.picture(), placed.point.column(), placed.point.row(),
                                scale_);
    }
    if (!hovered_ && !highlighted_) {
        return;
    }
    const platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    if (!dc || section == nullptr) {
        return;
    }
    const platform::Selection bitmap(dc.get(), section);
    const platform::Selection font(dc.get(), font_.get());
    for (const Placed& placed : placed_) {
        if (isDrawnHighlighted(placed.index)) {
            drawLabel(dc.get(), view, placed);
        }
    }
    GdiFlush();  // the pixels go to the screen straight from memory
}

void LinkOverlay::drawLabel(HDC dc, const engine::ViewBuffer& view, const Placed& placed) {
    const std::wstring text = labelOf(placed.index);
    if (text.empty()) {
        return;
    }
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    const std::int32_t padding = labelPadding * scale_;
    const std::int32_t gap = labelGap * scale_;
    const std::int32_t width = extent.cx + 2 * padding;
    const std::int32_t height = extent.cy + 2 * padding;
    // Beside the marker, to the right, or to the left where the right has no
    // room; never over the marker. The view clips what is left over.
    const engine::PixelRect marker = placed.rect;
    std::int32_t left = marker.right + gap;
    if (left + width > view.width && marker.left - gap - width >= 0) {
        left = marker.left - gap - width;
    }
    const std::int32_t top = placed.point.row() - height / 2;
    const engine::PixelRect box{left, top, left + width, top + height};
    covered_.keep(view, box);
    RECT rectangle{box.left, box.top, box.right, box.bottom};
    platform::UniqueBrush brush(CreateSolidBrush(labelBox));
    FillRect(dc, &rectangle, brush.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, labelText);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rectangle,
              DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

}  // namespace viewer

// Notes in the panorama on a real view window: their markers where the
// projection puts them, Tab through links and notes together, the card a
// click or Enter opens (its texts in any script, its picture, its link) and
// what closes it, the turning view standing still under it, and the card's
// size at every DPI.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "engine/angles.h"
#include "engine/link_projection.h"
#include "lang_ids.h"
#include "module_path.h"
#include "platform/code_pages.h"
#include "platform/picture_decoding.h"
#include "viewer/link_overlay.h"
#include "viewer/note_card.h"
#include "viewer_fixture.h"

namespace {

using namespace test_support;
using viewer::NoteCard;

// Greek, Japanese and Arabic in one note: no Windows code page holds them all.
const std::wstring mixedTitle = L"\u039D\u03B1\u03CC\u03C2 \u6771\u4EAC \u0645\u0633\u062C\u062F";
const std::wstring mixedText =
    L"\u03A0\u03C1\u03CE\u03C4\u03B7 \u03B3\u03C1\u03B1\u03BC\u03BC\u03AE\n"
    L"\u4E8C\u884C\u76EE\n\n\u0641\u0642\u0631\u0629 \u062B\u0627\u0646\u064A\u0629";
constexpr const char* noteLink = "https://example.org/notes/1";

nlohmann::json noteAt(float pan, float tilt, const std::wstring& title, const std::wstring& text) {
    return {{"pan", pan},
            {"tilt", tilt},
            {"title", platform::utf8(title)},
            {"text", platform::utf8(text)}};
}

std::wstring controlText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

RECT windowRectangle(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

bool liesWithin(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

SIZE shownBitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

// What the card showed while it was open, read from its controls.
struct SeenCard {
    bool open = false;
    std::wstring caption, title, text, linkLabel, link, close;
    SIZE picture{};
    bool focusInside = false;
};

SeenCard readCard() {
    SeenCard seen;
    HWND card = FindWindowW(NoteCard::className, nullptr);
    seen.open = card != nullptr && IsWindowVisible(card);
    if (!seen.open) {
        return seen;
    }
    const auto item = [&](int id) { return controlText(GetDlgItem(card, id)); };
    seen.caption = controlText(card);
    seen.title = item(NoteCard::titleControl);
    seen.text = item(NoteCard::textControl);
    seen.linkLabel = item(NoteCard::linkLabelControl);
    seen.link = item(NoteCard::linkControl);
    seen.close = item(NoteCard::closeControl);
    if (HWND picture = GetDlgItem(card, NoteCard::pictureControl)) {
        seen.picture = shownBitmapSize(
            reinterpret_cast<HBITMAP>(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)));
    }
    seen.focusInside = GetFocus() == card || IsChild(card, GetFocus());
    return seen;
}

class ViewerNotesTest : public ViewerTest {
  protected:
    // Scene 1 (start view pan 10.5, tilt -3, field of view 65) with `notes`
    // in its manifest, packed by tourpack (a note's picture is written into
    // the source folder), and `links` set as the reader would.
    void openWithNotes(nlohmann::json notes, std::vector<package::SceneLink> links = {},
                       HMODULE module = nullptr, std::int32_t scale = 1) {
        makeTour(3, [&](nlohmann::json& manifest) {
            writeFile(folder_.path() / "source" / "note.bmp", bmpPicture(320, 160, 20, 200, 90));
            manifest["scenes"][0]["notes"] = notes;
        });
        tour_->scene(1)->setLinks(std::move(links));
        openViewer(false);
        viewer_->setLinkLook(module, scale);
        viewer_->start();
        waitForScene();
        settle();
    }

    viewer::LinkOverlay& marks() { return viewer_->renderer()->links(); }

    void send(UINT message, WPARAM wParam, LPARAM lParam) {
        SendMessageW(viewer_->viewWindow(), message, wParam, lParam);
    }

    void clickAt(const engine::ViewPoint& point) {
        const LPARAM at = MAKELPARAM(point.column(), point.row());
        send(WM_MOUSEMOVE, 0, at);
        send(WM_LBUTTONDOWN, MK_LBUTTON, at);
        send(WM_LBUTTONUP, 0, at);
    }

    // Runs `whileOpen` once the card's loop runs (from a timer of the parent
    // window, whose messages that loop dispatches), then `trigger`, which
    // opens the card and returns once it is closed.
    void withCardOpen(const std::function<void()>& whileOpen,
                      const std::function<void()>& trigger) {
        bool ran = false;
        parent_->onTimer = [&] {
            ran = true;
            whileOpen();
        };
        SetTimer(parent_->window, 7, 50, nullptr);
        trigger();
        EXPECT_TRUE(ran) << "the card's loop never ran the parent's timer";
        EXPECT_EQ(viewer_->noteCard(), nullptr);
        EXPECT_EQ(FindWindowW(NoteCard::className, nullptr), nullptr);
    }

    // The bounding box of the pure white view pixels: the built-in note
    // marker's card (the scenes are one colour each, none of them white).
    engine::PixelRect whiteBox() {
        engine::PixelRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        const engine::ViewBuffer& buffer = view().viewBuffer();
        for (std::int32_t j = 0; j < buffer.height; ++j) {
            const std::uint8_t* row = buffer.pixels + static_cast<std::size_t>(j) * buffer.stride;
            for (std::int32_t x = 0; x < buffer.width; ++x) {
                if (row[3 * x] == 255 && row[3 * x + 1] == 255 && row[3 * x + 2] == 255) {
                    const std::int32_t y = buffer.height - 1 - j;
                    box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                           std::max(box.bottom, y + 1)};
                }
            }
        }
        return box;
    }
};

TEST_F(ViewerNotesTest, MarkerLiesOnTheProjectionAndIsHitThere) {
    openWithNotes({noteAt(20.0f, 5.0f, L"Clock", L"Old.")});
    for (int step = 0; step < 4; ++step) {
        const auto point = projected(20.0f, 5.0f);
        ASSERT_TRUE(point) << step;
        const engine::PixelRect box = whiteBox();
        ASSERT_LT(box.left, box.right) << "no note marker drawn, step " << step;
        // The card is 24 pixels square, centred on the projection.
        EXPECT_NEAR((box.left + box.right) / 2.0, point->column(), 1.0) << step;
        EXPECT_NEAR((box.top + box.bottom) / 2.0, point->row(), 1.0) << step;
        EXPECT_EQ(marks().markAt(point->column(), point->row()), marks().markOfNote(0)) << step;
        EXPECT_EQ(marks().markAt(point->column() + 16, point->row()), std::nullopt) << step;
        view().setView(view().viewPan() + 3.7f * engine::degree,
                       view().viewTilt() + (step % 2 ? 1.0f : -2.0f) * engine::degree,
                       view().viewFov());
        settle();
    }
}

// Under the pointer a note's marker shows its title beside it with the hand;
// enlarged with the links (the skin's factor), it is hit across its size.
TEST_F(ViewerNotesTest, HoverShowsTheTitleWithTheHandAndTheScaleEnlargesIt) {
    const platform::UniqueModule module(LoadLibraryA(test_support::modulePath("en").c_str()));
    ASSERT_TRUE(module);
    openWithNotes({noteAt(10.5f, -3.0f, L"Clock tower", L"x")}, {}, nullptr, 2);
    const auto point = projected(10.5f, -3.0f);
    ASSERT_TRUE(point);
    const engine::PixelRect normal = whiteBox();
    // The built-in card's white, 18 or 19 pixels across, drawn twice as large.
    EXPECT_GE(normal.right - normal.left, 36);
    EXPECT_LE(normal.right - normal.left, 38);
    viewer_->setLinkLook(module.get(), 2);
    settle();
    // 18 pixels off the centre: on the enlarged marker only.
    send(WM_MOUSEMOVE, 0, MAKELPARAM(point->column() + 18, point->row()));
    EXPECT_EQ(marks().hovered(), marks().markOfNote(0));
    EXPECT_EQ(GetCursor(), LoadCursorA(module.get(), MAKEINTRESOURCEA(IDC_LINK_HAND)));
    // The label's white text lies right of the marker.
    EXPECT_GT(whiteBox().right, normal.right + 40);
    send(WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(marks().hovered());
}

TEST_F(ViewerNotesTest, TabVisitsLinksAndNotesTogetherFromLeftToRight) {
    openWithNotes({noteAt(15.0f, -3.0f, L"Middle", L"x"), noteAt(-10.0f, -3.0f, L"Left", L"x")},
                  {test_support::linkTo(2, 30.0f, -3.0f), test_support::linkTo(3, 0.0f, -3.0f)});
    ASSERT_EQ(marks().markCount(), 4u);
    const std::size_t leftNote = marks().markOfNote(1);
    const std::size_t middleNote = marks().markOfNote(0);
    const std::vector<std::size_t> order{leftNote, 1u, middleNote, 0u, leftNote};
    for (std::size_t k = 0; k < order.size(); ++k) {
        send(WM_KEYDOWN, VK_TAB, 0);
        EXPECT_EQ(marks().highlighted(), order[k]) << "tab " << k;
    }
    // Esc clears the highlight; Shift+Tab then starts from the right.
    send(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(marks().highlighted());
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    send(WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(marks().highlighted(), 0u);
    send(WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(marks().highlighted(), middleNote);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

// Enter on the highlighted note opens its card with everything the note
// holds, in three scripts at once; Esc closes it and the view has the
// keyboard again, still at the same scene and view.
TEST_F(ViewerNotesTest, EnterOpensTheCardEscClosesItAndTheViewHasTheKeysBack) {
    const platform::UniqueModule module(LoadLibraryA(test_support::modulePath("en").c_str()));
    ASSERT_TRUE(module);
    nlohmann::json note = noteAt(10.5f, -3.0f, mixedTitle, mixedText);
    note["picture"] = "note.bmp";
    note["link"] = noteLink;
    openWithNotes({note}, {}, module.get());
    send(WM_KEYDOWN, VK_TAB, 0);
    ASSERT_EQ(marks().highlighted(), marks().markOfNote(0));
    EXPECT_EQ(marks().labelOf(marks().markOfNote(0)), mixedTitle);
    const float pan = viewer_->panDegrees();

    SeenCard seen;
    withCardOpen(
        [&] {
            seen = readCard();
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        },
        [&] { send(WM_KEYDOWN, VK_RETURN, 0); });
    ASSERT_TRUE(seen.open);
    EXPECT_EQ(seen.caption, mixedTitle);
    EXPECT_EQ(seen.title, mixedTitle);
    EXPECT_EQ(seen.text, viewer::withWindowsLineEnds(mixedText));
    EXPECT_NE(seen.text.find(L"\r\n\r\n"), std::wstring::npos);  // paragraphs kept
    EXPECT_EQ(seen.link, platform::widen(noteLink, CP_UTF8));
    EXPECT_EQ(seen.linkLabel, L"Web page:");
    EXPECT_EQ(seen.close, L"Close");
    // The 320 x 160 picture, whole or shrunk, its aspect kept.
    ASSERT_GT(seen.picture.cx, 0);
    EXPECT_LE(seen.picture.cx, 320);
    EXPECT_NEAR(static_cast<double>(seen.picture.cx) / seen.picture.cy, 2.0, 0.02);
    EXPECT_TRUE(seen.focusInside);

    EXPECT_EQ(GetFocus(), viewer_->viewWindow());
    EXPECT_EQ(viewer_->currentSceneNumber(), 1);
    EXPECT_FLOAT_EQ(viewer_->panDegrees(), pan);
    // Keys reach the view again: Tab moves the highlight on (round to the
    // one note), Esc clears it.
    send(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(marks().highlighted());
}

// A turning view stands still while the card is open and turns on once it
// is closed; a press outside the card closes it and goes no further.
TEST_F(ViewerNotesTest, ClickOpensTheCardTurningPausesAndAClickOutsideClosesIt) {
    openWithNotes({noteAt(10.5f, -3.0f, L"Clock", L"Old.")});
    viewer_->autoRotate();
    const auto point = projected(10.5f, -3.0f);
    ASSERT_TRUE(point);
    bool stood = false;
    bool paused = false;
    withCardOpen(
        [&] {
            paused = !view().motionTimerRunning() && view().motionPaused();
            const float pan = view().viewPan();
            // The render timer keeps ticking under the card; the pan stays.
            stood =
                !pumpUntil([&] { return view().viewPan() != pan; }, std::chrono::milliseconds(400));
            PostMessageW(viewer_->viewWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        },
        [&] { clickAt(*point); });
    EXPECT_TRUE(paused);
    EXPECT_TRUE(stood);
    EXPECT_FALSE(view().dragging());  // the press was spent on closing
    EXPECT_TRUE(view().motionTimerRunning());
    const float pan = view().viewPan();
    EXPECT_TRUE(pumpUntil([&] { return view().viewPan() != pan; }, std::chrono::seconds(10)));
}

// A press on a note's marker that moves by the click's slop is a drag: it
// turns the view, stops its turning and opens nothing.
TEST_F(ViewerNotesTest, ADragFromANoteMarkerTurnsTheViewAndOpensNothing) {
    openWithNotes({noteAt(10.5f, -3.0f, L"Clock", L"Old.")});
    viewer_->autoRotate();
    const auto point = projected(10.5f, -3.0f);
    ASSERT_TRUE(point);
    // A card opened by mistake would hold the test in its loop: a timer
    // closes it and says so.
    bool cardOpened = false;
    parent_->onTimer = [&] {
        if (HWND card = FindWindowW(NoteCard::className, nullptr)) {
            cardOpened = true;
            PostMessageW(card, WM_CLOSE, 0, 0);
        }
    };
    SetTimer(parent_->window, 8, 200, nullptr);
    const std::int32_t x = point->column();
    const std::int32_t y = point->row();
    send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    EXPECT_FALSE(view().motionTimerRunning());  // paused while it may be a click
    send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + viewer::clickSlop, y));
    EXPECT_TRUE(view().dragging());
    send(WM_LBUTTONUP, 0, MAKELPARAM(x + viewer::clickSlop, y));
    KillTimer(parent_->window, 8);
    EXPECT_FALSE(cardOpened);
    EXPECT_FALSE(view().dragging());
    EXPECT_FALSE(view().motionPaused());
    EXPECT_FALSE(view().motionTimerRunning());
}

// Whatever the DPI, the card lies inside its main window, centred, and
// shrinks to fit: a small window at 192 dpi as a full screen at 96.
TEST(NoteCardSize, FitsInsideItsWindowAtEveryDpi) {
    const Bytes bmp = bmpPicture(640, 480, 200, 40, 40);
    std::wstring longText;
    for (int k = 0; k < 120; ++k) {
        longText += L"A line of the note's long text that has to scroll.\n";
    }
    struct Case {
        int dpi;
        int width;
        int height;
    };
    for (const Case c : {Case{96, 640, 480}, Case{144, 960, 720}, Case{192, 700, 560},
                         Case{192, 1280, 1000}, Case{96, 1280, 1000}}) {
        TestWindowOptions options;
        options.className = "NoteCardOwner";
        options.style = WS_POPUP | WS_VISIBLE;
        options.width = c.width;
        options.height = c.height;
        const platform::UniqueWindow owner = createTestWindow(options);
        ASSERT_TRUE(owner);
        viewer::NoteCardContent content;
        content.title = L"Title";
        content.text = viewer::withWindowsLineEnds(longText);
        content.link = L"https://example.org/";
        content.picture = platform::PictureBitmap(platform::decodePicture(bmp.data(), bmp.size()));
        ASSERT_TRUE(content.picture);
        const NoteCard card(owner.get(), std::move(content), viewer::NoteCardLook{}, c.dpi);
        ASSERT_TRUE(card.isOpen());
        const std::string what = std::to_string(c.dpi) + " dpi in " + std::to_string(c.width) +
                                 " x " + std::to_string(c.height);
        const RECT outer = windowRectangle(owner.get());
        const RECT rect = windowRectangle(card.window());
        EXPECT_TRUE(liesWithin(rect, outer)) << what;
        EXPECT_LE(std::abs((rect.left + rect.right) - (outer.left + outer.right)), 1) << what;
        EXPECT_LE(std::abs((rect.top + rect.bottom) - (outer.top + outer.bottom)), 1) << what;
        for (const int id : {NoteCard::titleControl, NoteCard::textControl, NoteCard::linkControl,
                             NoteCard::closeControl}) {
            HWND control = GetDlgItem(card.window(), id);
            ASSERT_NE(control, nullptr) << what << ", control " << id;
            EXPECT_TRUE(liesWithin(windowRectangle(control), rect)) << what << ", control " << id;
        }
        const RECT text = windowRectangle(GetDlgItem(card.window(), NoteCard::textControl));
        EXPECT_GE(text.bottom - text.top, MulDiv(40, c.dpi, 96)) << what;
        if (HWND picture = GetDlgItem(card.window(), NoteCard::pictureControl)) {
            const RECT shown = windowRectangle(picture);
            EXPECT_TRUE(liesWithin(shown, rect)) << what;
            EXPECT_NEAR(static_cast<double>(shown.right - shown.left) / (shown.bottom - shown.top),
                        640.0 / 480.0, 0.02)
                << what;
        } else {
            // Only a window too small for a readable picture goes without.
            EXPECT_LT(c.height, 600) << what;
        }
    }
}

}  // namespace

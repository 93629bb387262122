// The shell's arithmetic and tables, free of the platform: window sizes for
// the view sizes, the scene status text, menu and toolbar help strings, the
// toolbar's hit test, and the key-colour run scan behind shaped windows.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lang_ids.h"
#include "package/skin_set.h"
#include "package/tour.h"

namespace shell {

// Sizes of the windowed mode for a tour's view size (1, 2, anything else: 3).
struct WindowLayout {
    int viewWidth;
    int viewHeight;
    int viewTop;        // the skin band above the view
    int toolbarHeight;  // the skin panel below the view, holding the toolbar
    int windowWidth() const { return viewWidth + 6; }
    // `frameExtra`: the menu bar's and the caption's heights together.
    int windowHeight(int frameExtra) const {
        return frameExtra + viewTop + toolbarHeight + viewHeight + 3;
    }
    // The skin band, the view and the panel, one above the other.
    int contentHeight() const { return viewTop + viewHeight + toolbarHeight; }
    WindowLayout scaledBy(int scale) const {
        return {viewWidth * scale, viewHeight * scale, viewTop * scale, toolbarHeight * scale};
    }
};
WindowLayout layoutForViewSize(std::int32_t viewSize);

// High-DPI screens. The windowed player, its skin and the pictures of its
// dialogs are enlarged by a whole factor, each skin pixel becoming a square of
// pixels, so that nothing blurs: 1 below 144 dpi (up to 125 %), 2 from 144 to
// 239 dpi (150 % to 249 %), 3 from 240 dpi, and so on.
int scaleForDpi(int dpi);
// The largest factor up to `wanted` (and at least 1) at which the windowed
// player fits the desktop; `frameWidth` and `frameHeight` are what the
// window's frame, caption and menu bar add to its content.
int fittingScale(int wanted, const WindowLayout& layout, int frameWidth, int frameHeight,
                 int desktopWidth, int desktopHeight);

// Whether a byte begins a character of two bytes in the code page a text is
// in; null for a code page of one byte a character.
using LeadByteTest = std::function<bool(unsigned char byte)>;

// "Title(n-count)-Name", the title cut to 80 bytes and the whole text to what
// a 100-byte buffer holds with its terminator; a cut never splits a character
// of two bytes.
inline constexpr std::size_t statusTextCapacity = 100;
inline constexpr std::size_t statusTitleLimit = 80;
std::string sceneStatusText(const char* title, std::int32_t sceneNumber, std::int32_t sceneCount,
                            const char* sceneName, const LeadByteTest& isLeadByte = {});
// Clears a buffer of `capacity` bytes and copies `text` into it, cut and
// terminated.
void copyText(char* buffer, std::size_t capacity, const char* text);

// The language string explaining a menu item while it is selected; 0: none.
unsigned menuHelpStringId(unsigned itemId, bool soundOn);

// Whether the tour has no information to show: no picture and none of the
// five texts of the information dialog (the sixth is not looked at).
bool tourInfoIsEmpty(const package::TourInfo& info);

// What the greyed menu items depend on.
struct CommandState {
    bool soundOn;
    bool tourInfoEmpty;
};
// Whether a command's menu item is enabled: volume up and down only while the
// sound is on, the tour information only when there is some. A command whose
// item is greyed does nothing, whatever brought it (the menu, an accelerator,
// the toolbar, the full-screen popup menu, a message from outside).
bool commandEnabled(unsigned commandId, const CommandState& state);

// The toolbar's eleven buttons, numbered as the skin's controls: their help
// strings and the hit test (the first button whose rectangle holds the
// point, or -1). The first five lie on the turning pad.
enum ToolbarButton : int {
    turnLeftButton,
    turnRightButton,
    turnUpButton,
    turnDownButton,
    stopButton,
    previousSceneButton,
    nextSceneButton,
    resetViewButton,
    autoRotateButton,
    playTourButton,
    fullScreenButton,
};
inline constexpr int toolbarButtonCount = fullScreenButton + 1;
// The buttons in one state (pressed, or under the pointer): a flag a button,
// indexed by ToolbarButton.
using ToolbarButtons = std::bitset<toolbarButtonCount>;
// Points are in the toolbar's pixels, its skin enlarged `scale` times.
unsigned toolbarHelpStringId(int button);
bool buttonContains(int button, int x, int y, int scale = 1);
int toolbarButtonAt(int x, int y, int scale = 1);
package::SkinRect scaledRect(const package::SkinRect& rectangle, int scale);

// The window title: "Title-Caption", or the caption alone without a title.
std::string windowTitle(const char* tourTitle, const char* caption);

// The dialogs' arithmetic. A dialog of `width` x `height` centred on its
// owner's window rectangle; the halves truncate toward zero.
struct Placement {
    int x;
    int y;
    int width;
    int height;
};
// A window of width x height centred in the work area [left, right) x [top,
// bottom) (the desktop less the taskbar, wherever the taskbar lies); one
// larger than the area keeps its top-left corner, and so its caption, inside.
Placement centredInArea(int left, int top, int right, int bottom, int width, int height);
Placement centredOnOwner(int ownerLeft, int ownerTop, int ownerWidth, int ownerHeight, int width,
                         int height);

// The web link drawn on the about box's picture (right and bottom exclusive),
// the picture enlarged `scale` times.
bool aboutLinkContains(int x, int y, int scale = 1);

// Controls of the tour information dialog.
enum InfoControl : int {
    infoText1Control = IDC_INFO_TEXT1,
    infoText2Control = IDC_INFO_TEXT2,
    infoText3Control = IDC_INFO_TEXT3,
    webAddressControl = IDC_INFO_WEB,
    emailAddressControl = IDC_INFO_EMAIL,
    infoText4Control = IDC_INFO_TEXT4,
};
// Looked at under the pointer, in this order; clicked, in this order.
inline constexpr int infoHoverControls[5] = {webAddressControl, infoText1Control, infoText3Control,
                                             infoText2Control, emailAddressControl};
inline constexpr int infoClickControls[2] = {webAddressControl, emailAddressControl};
inline constexpr int linkHitHeight = 20;
bool isLinkControl(int controlId);
// What the shell opens for a click on a link control: the web text as it
// stands, the e-mail text behind one "mailto:". Empty for no link, and for an
// empty text (there is nothing to open).
std::string linkTarget(int controlId, const std::string& text);

// The floating label shows a text too long for its control: more than 20
// characters, 6 pixels a character wide and 20 high.
inline constexpr std::size_t labelThreshold = 20;
inline constexpr int labelPixelsPerCharacter = 6;
inline constexpr int labelHeight = 20;
inline bool needsLabel(std::size_t length) {
    return length > labelThreshold;
}
inline int labelWidth(std::size_t length) {
    return static_cast<int>(length) * labelPixelsPerCharacter;
}

// The tour information dialog grows as its template does: its dialog units
// follow its font, which follows the screen's DPI, not the player's whole
// factor. Its photo, link rows and label, laid out below in pixels at 96 dpi,
// are taken dpi / 96 times so that they stay where its controls are.
inline int templatePixels(int pixels, int dpi) {
    return (pixels * dpi + 48) / 96;
}

// Where the author's photo of `width` x `height` goes: centred in the
// 200 x 200 square whose top is 8 pixels down.
struct Point {
    int x;
    int y;
};
Point authorPhotoOrigin(int width, int height);

// Key colour with its tolerance: a pixel matches when each of its components
// lies in the key's range for that component.
struct KeyColour {
    std::uint8_t low[3];  // red, green, blue
    std::uint8_t high[3];
    bool matches(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
        return red >= low[0] && red <= high[0] && green >= low[1] && green <= high[1] &&
               blue >= low[2] && blue <= high[2];
    }
};
KeyColour keyColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

struct RunRectangle {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// Rectangles in the platform's region-data layout: a 32-byte header (size 32,
// type 1, count, 0, bounding rectangle) and 16 bytes per rectangle. Room
// grows by 100 rectangles when the count reaches it.
class RegionRectangles {
  public:
    static constexpr std::size_t headerSize = 32;
    static constexpr std::size_t rectangleSize = 16;
    static constexpr std::size_t growth = 100;

    RegionRectangles();
    void add(const RunRectangle& rectangle);
    // Count 0 and an empty bounding rectangle; the room stays.
    void reset();
    std::size_t count() const { return count_; }
    std::size_t room() const { return room_; }
    RunRectangle bounds() const;
    const std::uint8_t* data() const { return bytes_.data(); }
    std::size_t allocatedSize() const { return bytes_.size(); }
    RunRectangle rectangle(std::size_t index) const;

  private:
    void writeHeader();
    std::vector<std::uint8_t> bytes_;
    std::size_t count_ = 0;
    std::size_t room_ = growth;
    RunRectangle bounds_{};
};

// One rectangle per horizontal run of pixels that do not match the key; rows
// from the image's top. `pixel(x, y)` gives red, green, blue of a pixel (y
// from the top). Every `batch` rectangles, and once at the end (also with
// none left), `flush` is called with the buffer, which then starts over.
using PixelReader = std::function<void(int x, int y, std::uint8_t rgb[3])>;
void scanKeyRuns(int width, int height, const PixelReader& pixel, const KeyColour& key,
                 std::size_t batch, const std::function<void(const RegionRectangles&)>& flush);

}  // namespace shell

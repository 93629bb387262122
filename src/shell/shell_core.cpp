#include "shell/shell_core.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cctype>
#include <cstring>
#include <string_view>

#include "lang_ids.h"
#include "package/skin_set.h"

namespace shell {

WindowLayout layoutForViewSize(std::int32_t viewSize) {
    std::size_t index = 2;
    int width = 480;
    int height = 360;
    if (viewSize == 1) {
        index = 0;
        width = 320;
        height = 240;
    } else if (viewSize == 2) {
        index = 1;
        width = 400;
        height = 300;
    }
    return {width, height, package::SkinSet::bandRects[index].height,
            package::SkinSet::panelRects[index].height};
}

int scaleForDpi(int dpi) {
    return std::max(1, (dpi + 48) / 96);
}

int fittingScale(int wanted, const WindowLayout& layout, int frameWidth, int frameHeight,
                 int desktopWidth, int desktopHeight) {
    int scale = std::max(1, wanted);
    while (scale > 1) {
        const WindowLayout scaled = layout.scaledBy(scale);
        if (scaled.viewWidth + frameWidth <= desktopWidth &&
            scaled.contentHeight() + frameHeight <= desktopHeight) {
            break;
        }
        --scale;
    }
    return scale;
}

namespace {

// Cuts `text` to at most `limit` bytes, before a character it would split.
void cutBetweenCharacters(std::string& text, std::size_t limit, const LeadByteTest& isLeadByte) {
    if (text.size() <= limit) {
        return;
    }
    std::size_t end = 0;
    while (end < limit) {
        const bool pair = isLeadByte && isLeadByte(static_cast<unsigned char>(text[end])) &&
                          end + 1 < text.size();
        const std::size_t next = end + (pair ? 2 : 1);
        if (next > limit) {
            break;
        }
        end = next;
    }
    text.resize(end);
}

}  // namespace

std::string sceneStatusText(const char* title, std::int32_t sceneNumber, std::int32_t sceneCount,
                            const char* sceneName, const LeadByteTest& isLeadByte) {
    std::string text(title != nullptr ? title : "");
    cutBetweenCharacters(text, statusTitleLimit, isLeadByte);
    text += '(';
    text += std::to_string(sceneNumber);
    text += '-';
    text += std::to_string(sceneCount);
    text += ")-";
    text += sceneName != nullptr ? sceneName : "";
    // A long scene name loses its end; so does a text whose numbers alone
    // would not fit after a long title.
    cutBetweenCharacters(text, statusTextCapacity - 1, isLeadByte);
    return text;
}

void copyText(char* buffer, std::size_t capacity, const char* text) {
    if (capacity == 0) {
        return;
    }
    std::memset(buffer, 0, capacity);
    if (text != nullptr) {
        std::strncpy(buffer, text, capacity - 1);
    }
}

unsigned menuHelpStringId(unsigned itemId, bool soundOn) {
    switch (itemId) {
        case IDM_ABOUT:
            return IDS_HELP_ABOUT;
        case IDM_EXIT:
            return IDS_HELP_EXIT;
        case IDM_PREVIOUS_SCENE:
            return IDS_HELP_PREVIOUS_SCENE;
        case IDM_FULL_SCREEN:
            return IDS_HELP_FULL_SCREEN;
        case IDM_SOUND_OFF:
            return soundOn ? IDS_HELP_SOUND_OFF : IDS_HELP_SOUND_ON;
        case IDM_VOLUME_UP:
            return IDS_HELP_VOLUME_UP;
        case IDM_VOLUME_DOWN:
            return IDS_HELP_VOLUME_DOWN;
        case IDM_HELP_CARD:
            return IDS_HELP_HELP_CARD;
        case IDM_TOUR_INFO:
            return IDS_HELP_TOUR_INFO;
        case IDM_NEXT_SCENE:
            return IDS_HELP_NEXT_SCENE;
        default:
            return 0;
    }
}

bool tourInfoIsEmpty(const package::TourInfo& info) {
    const package::FileItem* picture = info.picture();
    const bool noPicture = picture == nullptr || picture->length() <= 0;
    return noPicture && *info.infoText1() == '\0' && *info.emailAddress() == '\0' &&
           *info.infoText3() == '\0' && *info.infoText2() == '\0' && *info.webAddress() == '\0';
}

bool commandEnabled(unsigned commandId, const CommandState& state) {
    switch (commandId) {
        case IDM_VOLUME_UP:
        case IDM_VOLUME_DOWN:
            return state.soundOn;
        case IDM_TOUR_INFO:
            return !state.tourInfoEmpty;
        default:
            return true;
    }
}

unsigned toolbarHelpStringId(int button) {
    static constexpr std::array<unsigned, toolbarButtonCount> ids{
        IDS_TIP_LEFT,        IDS_TIP_RIGHT,          IDS_TIP_UP,         IDS_TIP_DOWN,
        IDS_TIP_STOP,        IDS_TIP_PREVIOUS_SCENE, IDS_TIP_NEXT_SCENE, IDS_TIP_RESET_VIEW,
        IDS_TIP_AUTO_ROTATE, IDS_TIP_PLAY_TOUR,      IDS_TIP_FULL_SCREEN};
    if (button < 0 || button >= toolbarButtonCount) {
        return 0;
    }
    return ids[static_cast<std::size_t>(button)];
}

package::SkinRect scaledRect(const package::SkinRect& r, int scale) {
    return {r.x * scale, r.y * scale, r.width * scale, r.height * scale};
}

bool buttonContains(int button, int x, int y, int scale) {
    const package::SkinRect r =
        scaledRect(package::SkinSet::controlRects[static_cast<std::size_t>(button)], scale);
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

int toolbarButtonAt(int x, int y, int scale) {
    for (int button = 0; button < toolbarButtonCount; ++button) {
        if (buttonContains(button, x, y, scale)) {
            return button;
        }
    }
    return -1;
}

std::string windowTitle(const char* tourTitle, const char* caption) {
    std::string title;
    if (tourTitle != nullptr && *tourTitle != '\0') {
        title = std::string(tourTitle) + "-";
    }
    return title + (caption != nullptr ? caption : "");
}

Placement centredInArea(int left, int top, int right, int bottom, int width, int height) {
    const int x = left + (right - left - width) / 2;
    const int y = top + (bottom - top - height) / 2;
    return {std::max(x, left), std::max(y, top), width, height};
}

Placement centredOnOwner(int ownerLeft, int ownerTop, int ownerWidth, int ownerHeight, int width,
                         int height) {
    return {ownerLeft + (ownerWidth - width) / 2, ownerTop + (ownerHeight - height) / 2, width,
            height};
}

bool aboutLinkContains(int x, int y, int scale) {
    return x >= 71 * scale && x < 209 * scale && y >= 172 * scale && y < 182 * scale;
}

bool isLinkControl(int controlId) {
    return controlId == webAddressControl || controlId == emailAddressControl;
}

std::string linkTarget(int controlId, const std::string& text) {
    if (text.empty()) {
        return {};
    }
    if (controlId == webAddressControl) {
        return text;
    }
    if (controlId != emailAddressControl) {
        return {};
    }
    // An author who wrote the scheme already gets it once, not twice.
    static constexpr std::string_view scheme = "mailto:";
    const bool hasScheme =
        text.size() >= scheme.size() &&
        std::equal(scheme.begin(), scheme.end(), text.begin(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    return hasScheme ? text : std::string(scheme) + text;
}

Point authorPhotoOrigin(int width, int height) {
    return {(AUTHOR_PHOTO_SIDE - width) / 2, (AUTHOR_PHOTO_SIDE - height) / 2 + 8};
}

KeyColour keyColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    KeyColour key{};
    const std::uint8_t components[3] = {red, green, blue};
    const bool black = red == 0 && green == 0 && blue == 0;
    const bool white = red == 255 && green == 255 && blue == 255;
    for (int i = 0; i < 3; ++i) {
        const int v = components[i];
        if (black) {
            key.low[i] = 0;
            key.high[i] = 16;
        } else if (white) {
            key.low[i] = 239;
            key.high[i] = 255;
        } else {
            key.low[i] = static_cast<std::uint8_t>(v <= 16 ? 0 : v - 17);
            key.high[i] = static_cast<std::uint8_t>(v >= 239 ? 255 : v + 17);
        }
    }
    return key;
}

namespace {

void put32(std::uint8_t* at, std::int32_t value) {
    std::memcpy(at, &value, sizeof value);
}
std::int32_t get32(const std::uint8_t* at) {
    std::int32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}
constexpr RunRectangle emptyBounds{INT_MAX, INT_MAX, 0, 0};

}  // namespace

RegionRectangles::RegionRectangles()
    : bytes_(headerSize + growth * rectangleSize, 0), bounds_(emptyBounds) {
    writeHeader();
}

void RegionRectangles::writeHeader() {
    put32(&bytes_[0], static_cast<std::int32_t>(headerSize));
    put32(&bytes_[4], 1);
    put32(&bytes_[8], static_cast<std::int32_t>(count_));
    put32(&bytes_[12], 0);
    put32(&bytes_[16], bounds_.left);
    put32(&bytes_[20], bounds_.top);
    put32(&bytes_[24], bounds_.right);
    put32(&bytes_[28], bounds_.bottom);
}

void RegionRectangles::add(const RunRectangle& r) {
    if (count_ >= room_) {
        room_ += growth;
        bytes_.resize(headerSize + room_ * rectangleSize, 0);
    }
    std::uint8_t* at = &bytes_[headerSize + count_ * rectangleSize];
    put32(at, r.left);
    put32(at + 4, r.top);
    put32(at + 8, r.right);
    put32(at + 12, r.bottom);
    ++count_;
    bounds_.left = std::min(bounds_.left, r.left);
    bounds_.top = std::min(bounds_.top, r.top);
    bounds_.right = std::max(bounds_.right, r.right);
    bounds_.bottom = std::max(bounds_.bottom, r.bottom);
    writeHeader();
}

void RegionRectangles::reset() {
    count_ = 0;
    bounds_ = emptyBounds;
    writeHeader();
}

RunRectangle RegionRectangles::bounds() const {
    return bounds_;
}

RunRectangle RegionRectangles::rectangle(std::size_t index) const {
    const std::uint8_t* at = &bytes_[headerSize + index * rectangleSize];
    return {get32(at), get32(at + 4), get32(at + 8), get32(at + 12)};
}

void scanKeyRuns(int width, int height, const PixelReader& pixel, const KeyColour& key,
                 std::size_t batch, const std::function<void(const RegionRectangles&)>& flush) {
    RegionRectangles rectangles;
    std::uint8_t rgb[3];
    auto kept = [&](int x, int y) {
        pixel(x, y, rgb);
        return !key.matches(rgb[0], rgb[1], rgb[2]);
    };
    for (int y = 0; y < height; ++y) {
        int x = 0;
        while (x < width) {
            while (x < width && !kept(x, y)) {
                ++x;
            }
            if (x >= width) {
                break;
            }
            const int start = x;
            while (x < width && kept(x, y)) {
                ++x;
            }
            rectangles.add({start, y, x, y + 1});
            if (rectangles.count() == batch) {
                flush(rectangles);
                rectangles.reset();
            }
        }
    }
    flush(rectangles);
}

}  // namespace shell

// Lays out the dialog templates of each language module as the player shows
// them (pictures painted, information texts filled in), checks the layout the
// player relies on and keeps a screenshot of each as a test artefact.
#include "picture_check.h"

#include "lang_ids.h"
#include "module_path.h"
#include "platform/scoped_handle.h"
#include "test_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace test_support {
namespace {

// What the test's dialog procedure paints: a picture at a position, and for
// the information dialog sample texts.
struct DialogPaint {
    HBITMAP picture = nullptr;
    int x = 0;
    int y = 0;
    bool fillInfo = false;
    HBRUSH background = nullptr;
};

INT_PTR CALLBACK paintingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* paint = reinterpret_cast<DialogPaint*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
            paint = reinterpret_cast<DialogPaint*>(lParam);
            if (paint->fillInfo) {
                SetDlgItemTextA(dialog, IDC_INFO_TEXT1, "Photographs and narration: A. Author");
                SetDlgItemTextA(dialog, IDC_INFO_WEB, "https://example.org/harbour-town/");
                SetDlgItemTextA(dialog, IDC_INFO_EMAIL, "author@example.org");
                SetDlgItemTextA(dialog, IDC_INFO_TEXT3, "Rendered scenes, 2026");
                SetDlgItemTextA(dialog, IDC_INFO_TEXT2, "Harbour Town demo tour");
                SetDlgItemTextA(dialog, IDC_INFO_TEXT4,
                                "Free to copy and show. Sounds made with espeak-ng and sox.");
            }
            return TRUE;
        case WM_PAINT: {
            const platform::PaintScope painting(dialog);
            const HDC dc = painting.dc();
            if (paint != nullptr && paint->picture != nullptr) {
                BITMAP info{};
                GetObjectA(paint->picture, sizeof info, &info);
                const platform::UniqueMemoryDC source(CreateCompatibleDC(dc));
                const platform::Selection selected(source.get(), paint->picture);
                BitBlt(dc, paint->x, paint->y, info.bmWidth, info.bmHeight, source.get(), 0, 0,
                       SRCCOPY);
            }
            return 0;
        }
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
            if (paint != nullptr && paint->background != nullptr) {
                SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                return reinterpret_cast<INT_PTR>(paint->background);
            }
            return 0;
        default:
            return 0;
    }
}

std::string artefactPath(const std::string& name) {
    CreateDirectoryA(LUMIVUE_ARTIFACT_DIR, nullptr);
    return std::string(LUMIVUE_ARTIFACT_DIR) + "/" + name;
}

// The languages' cases may run at the same time on one desktop: each keeps to
// its own half of it, so that a screenshot shows only its own dialog.
int screenColumn(const std::string& code) {
    return code == "en" ? 20 : 660;
}

// Shows the dialog and takes its screenshot once `shown` holds for it: a busy
// machine puts the painting on the screen late (half a minute at most). The
// last screenshot is kept as an artefact.
Pixels showAndKeepScreenshot(HWND dialog, const std::string& code, const std::string& name,
                             const std::function<bool(const Pixels&)>& shown) {
    SetWindowPos(dialog, HWND_TOPMOST, screenColumn(code), 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(dialog);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pixels shot;
    // A screenshot costs the processor the painting needs: one every 100 ms.
    auto next = std::chrono::steady_clock::now();
    test_support::pumpUntil(
        [&] {
            if (std::chrono::steady_clock::now() < next) {
                return false;
            }
            next += std::chrono::milliseconds(100);
            shot = captureWindow(dialog);
            return shot.width > 0 && shown(shot);
        },
        std::chrono::seconds(30));
    EXPECT_GT(shot.width, 0);
    EXPECT_TRUE(writeBmp(artefactPath(name), shot)) << name;
    return shot;
}

RECT clientRectOf(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class DialogTemplateTest : public ::testing::TestWithParam<std::string> {
  protected:
    DialogTemplateTest() : module_(LoadLibraryA(modulePath(GetParam()).c_str())) {}
    HMODULE module() const { return module_.get(); }

    platform::ComApartment apartment_;
    platform::UniqueModule module_;
};

// The about box and the help card: the player sizes the dialog window to the
// picture and paints it at client (0, 0), so the template must have no frame,
// no caption and no controls to cover it.
TEST_P(DialogTemplateTest, PictureDialogsShowNothingButTheirPicture) {
    ASSERT_NE(module(), nullptr);
    for (auto [dialogId, pictureId] :
         {std::pair{IDD_ABOUT, IDP_ABOUT_FACE}, std::pair{IDD_PICTURE, IDP_HELP_CARD}}) {
        platform::ComRef<IPicture> picture = decodeResourcePicture(module(), pictureId);
        ASSERT_NE(picture.get(), nullptr);
        OLE_HANDLE handle = 0;
        picture->get_Handle(&handle);
        DialogPaint paint;
        paint.picture = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
        const Pixels face = picturePixels(picture.get());

        const platform::UniqueWindow window(CreateDialogParamA(module(), MAKEINTRESOURCEA(dialogId),
                                                               nullptr, paintingDialog,
                                                               reinterpret_cast<LPARAM>(&paint)));
        const HWND dialog = window.get();
        ASSERT_NE(dialog, nullptr) << "dialog " << dialogId;
        EXPECT_EQ(GetWindow(dialog, GW_CHILD), nullptr) << "dialog " << dialogId << " has controls";
        EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & WS_CAPTION, 0) << "dialog " << dialogId;

        SetWindowPos(dialog, nullptr, 0, 0, face.width, face.height, SWP_NOMOVE | SWP_NOZORDER);
        RECT client{};
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, face.width) << "a frame would hide the picture's edge";
        EXPECT_EQ(client.bottom, face.height);

        const std::string name = "dialog-" + std::to_string(dialogId) + "-" + GetParam() + ".bmp";
        const auto differingFromFace = [&](const Pixels& shot) {
            int differing = 0;
            for (size_t i = 0; i < face.argb.size(); ++i)
                differing += shot.argb[i] != face.argb[i];
            return differing;
        };
        const Pixels shot = showAndKeepScreenshot(dialog, GetParam(), name, [&](const Pixels& s) {
            return s.width == face.width && s.height == face.height && differingFromFace(s) == 0;
        });
        // on the screen the dialog is its picture, every pixel of it
        ASSERT_EQ(shot.width, face.width);
        ASSERT_EQ(shot.height, face.height);
        const int differing = differingFromFace(shot);
        EXPECT_EQ(differing, 0) << "dialog " << dialogId << " does not show its picture whole";
    }
}

TEST_P(DialogTemplateTest, AboutFaceShowsTheLinkInsideItsRectangle) {
    ASSERT_NE(module(), nullptr);
    platform::ComRef<IPicture> picture = decodeResourcePicture(module(), IDP_ABOUT_FACE);
    ASSERT_NE(picture.get(), nullptr);
    const Pixels face = picturePixels(picture.get());
    ASSERT_GE(face.height, 196);
    // the link is drawn in the accent colour: blue well above red
    int inside = 0;
    int outside = 0;
    for (int y = 160; y < 196; ++y) {
        for (int x = 0; x < face.width; ++x) {
            const std::uint32_t p = face.at(x, y);
            if (Pixels::blue(p) - Pixels::red(p) < 80)
                continue;
            const bool inRect = x >= 71 && x < 209 && y >= 172 && y < 182;
            (inRect ? inside : outside) += 1;
        }
    }
    EXPECT_GT(inside, 60) << "no web address in the link rectangle";
    EXPECT_EQ(outside, 0) << "the web address spills out of the link rectangle";
}

TEST_P(DialogTemplateTest, InformationTextsStandRightOfThePhoto) {
    ASSERT_NE(module(), nullptr);
    platform::ComRef<IPicture> photo = decodeResourcePicture(module(), IDP_COMPASS);
    ASSERT_NE(photo.get(), nullptr);
    OLE_HANDLE handle = 0;
    photo->get_Handle(&handle);
    const Pixels photoPixels = picturePixels(photo.get());
    DialogPaint paint;
    paint.picture = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    paint.x = (200 - photoPixels.width) / 2;
    paint.y = (200 - photoPixels.height) / 2 + 8;
    paint.fillInfo = true;
    const platform::UniqueBrush background(CreateSolidBrush(RGB(198, 195, 198)));
    paint.background = background.get();

    const platform::UniqueWindow window(
        CreateDialogParamA(module(), MAKEINTRESOURCEA(IDD_TOUR_INFO), nullptr, paintingDialog,
                           reinterpret_cast<LPARAM>(&paint)));
    const HWND dialog = window.get();
    ASSERT_NE(dialog, nullptr);
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_GE(client.bottom, 208) << "the photo square ends 208 pixels down";

    const std::vector<int> texts = {IDC_INFO_TEXT1, IDC_INFO_EMAIL, IDC_INFO_WEB,
                                    IDC_INFO_TEXT3, IDC_INFO_TEXT2, IDC_INFO_TEXT4};
    std::vector<RECT> rects;
    for (int id : texts) {
        HWND control = GetDlgItem(dialog, id);
        ASSERT_NE(control, nullptr) << "control " << id;
        char className[32] = {};
        GetClassNameA(control, className, sizeof className);
        EXPECT_STRCASEEQ(className, "Static") << "control " << id;
        // without SS_NOTIFY a static lets clicks and moves through to the
        // dialog, which handles the links and the hover label
        EXPECT_EQ(GetWindowLongA(control, GWL_STYLE) & SS_NOTIFY, 0) << "control " << id;
        const RECT rect = clientRectOf(dialog, control);
        EXPECT_GE(rect.left, 200) << "control " << id << " overlaps the photo square";
        EXPECT_LE(rect.right, client.right) << "control " << id;
        EXPECT_LE(rect.bottom, client.bottom) << "control " << id;
        EXPECT_GE(rect.bottom - rect.top, 10) << "control " << id;
        rects.push_back(rect);
    }
    for (size_t i = 0; i < rects.size(); ++i) {
        for (size_t j = i + 1; j < rects.size(); ++j) {
            RECT overlap{};
            EXPECT_FALSE(IntersectRect(&overlap, &rects[i], &rects[j]))
                << "controls " << texts[i] << " and " << texts[j] << " overlap";
        }
    }
    // Escape and the caption's close box end the dialog through id 2. No push
    // button: a focused one would turn Enter into its own id and close it.
    EXPECT_EQ(GetDlgItem(dialog, IDCANCEL), nullptr);
    EXPECT_EQ(GetDlgItem(dialog, IDOK), nullptr);
    EXPECT_NE(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU, 0);

    // the photo shows where the player paints it, inside the dialog's client area
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    RECT frame{};
    GetWindowRect(dialog, &frame);
    const int photoX = origin.x - frame.left + paint.x + photoPixels.width / 2;
    const int photoY = origin.y - frame.top + paint.y + photoPixels.height / 2;
    const Pixels shot = showAndKeepScreenshot(
        dialog, GetParam(), "dialog-" + std::to_string(IDD_TOUR_INFO) + "-" + GetParam() + ".bmp",
        [&](const Pixels& s) {
            return photoX < s.width && photoY < s.height &&
                   s.at(photoX, photoY) ==
                       photoPixels.at(photoPixels.width / 2, photoPixels.height / 2);
        });
    ASSERT_LT(photoY, shot.height);
    EXPECT_EQ(shot.at(photoX, photoY),
              photoPixels.at(photoPixels.width / 2, photoPixels.height / 2));
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogTemplateTest, ::testing::Values("en", "de"));

}  // namespace
}  // namespace test_support

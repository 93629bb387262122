// The about box, the picture dialog and the tour information dialog, run
// modally from the English language module's templates over a real owner
// window. Steps act inside each dialog's own message loop, a timer tick apart.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/com_apartment.h"
#include "module_path.h"
#include "platform/scoped_handle.h"
#include "screen_capture.h"
#include "shell/shell.h"
#include "shell/shell_core.h"
#include "test_window.h"
#include "tour_source.h"

namespace {

using Step = std::function<void(HWND dialog)>;

constexpr INT_PTR timedOut = 99;
constexpr int photoOffset = 1000;
constexpr COLORREF dialogColour = RGB(198, 195, 198);

HWND findOwnedDialog(HWND owner) {
    struct Search {
        HWND owner;
        HWND found;
    } search{owner, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            char name[16] = {};
            GetClassNameA(window, name, sizeof name);
            if (std::string(name) == test_support::dialogClassName &&
                GetWindow(window, GW_OWNER) == s->owner) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs dialog `id` modally; each step runs at its own timer tick once the
// dialog shows. A dialog still open five seconds after the last step ends
// with `timedOut`.
struct ModalRun {
    HWND owner = nullptr;
    std::vector<Step> steps;
    std::size_t next = 0;
    int idleTicks = 0;
};
ModalRun modalRun;

void CALLBACK modalTick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = findOwnedDialog(modalRun.owner);
    if (dialog == nullptr || !IsWindowVisible(dialog)) {
        return;
    }
    if (modalRun.next < modalRun.steps.size()) {
        UpdateWindow(dialog);
        modalRun.steps[modalRun.next++](dialog);
    } else if (++modalRun.idleTicks > 80) {
        EndDialog(dialog, timedOut);
    }
}

INT_PTR runModal(HWND owner, int id, DLGPROC procedure, std::vector<Step> steps) {
    modalRun = ModalRun{owner, std::move(steps)};
    const UINT_PTR timer = SetTimer(nullptr, 0, 60, modalTick);
    const INT_PTR result =
        DialogBoxParamA(shellState.languageModule.get(), MAKEINTRESOURCEA(id), owner, procedure, 0);
    KillTimer(nullptr, timer);
    modalRun = ModalRun{};
    return result;
}

RECT windowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

SIZE bitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

// The centre of a control in the dialog's client coordinates.
POINT controlCentre(HWND dialog, int controlId) {
    RECT rect = windowRect(GetDlgItem(dialog, controlId));
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void send(HWND dialog, UINT message, WPARAM wParam, POINT point) {
    SendMessageA(dialog, message, wParam, MAKELPARAM(point.x, point.y));
}

COLORREF pixelAt(const test_support::Bitmap24& shot, int x, int y) {
    const std::uint8_t* p =
        shot.pixels.data() + static_cast<std::size_t>(shot.height - 1 - y) * shot.stride + 3 * x;
    return RGB(p[2], p[1], p[0]);
}

// The dialog as the screen shows it. A window just opened reads back black
// until the display has shown it, which takes a moment on a loaded machine:
// the screen is read again, up to three seconds, while it is all black.
test_support::Bitmap24 screenshotWhenShown(HWND dialog) {
    test_support::Bitmap24 shot;
    for (int attempt = 0; attempt < 60; ++attempt) {
        shot = test_support::screenshotOf(dialog);
        if (std::any_of(shot.pixels.begin(), shot.pixels.end(),
                        [](std::uint8_t value) { return value != 0; })) {
            break;
        }
        // Lets the display's events in without running the modal timer's steps.
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
        UpdateWindow(dialog);
        Sleep(50);
    }
    return shot;
}

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ShellState& s = shellState;
        s.languageModule.reset(LoadLibraryA(test_support::modulePath("en").c_str()));
        ASSERT_NE(s.languageModule.get(), nullptr);
        s.dialogBrush.reset(CreateSolidBrush(dialogColour));
        s.aboutFace.decoded = shell::loadLanguagePicture(IDP_ABOUT_FACE);
        s.helpCard.decoded = shell::loadLanguagePicture(IDP_HELP_CARD);
        ASSERT_NE(s.aboutFace.shown(), nullptr);
        ASSERT_NE(s.helpCard.shown(), nullptr);

        test_support::TestWindowOptions options;
        options.className = "DialogTestOwner";
        options.background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        options.title = "owner";
        options.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        options.x = 170;
        options.y = 90;
        options.width = 486;
        options.height = 541;
        ownerWindow_ = test_support::createTestWindow(options);
        owner_ = ownerWindow_.get();
        ASSERT_NE(owner_, nullptr);
        s.mainWindow = owner_;
        s.tour = std::make_unique<package::Tour>();
        s.executablePath = (folder_.path() / "tour.exe").string();
    }

    void TearDown() override {
        ShellState& s = shellState;
        s.authorPhoto.reset();
        s.aboutFace.reset();
        s.helpCard.reset();
        s.dialogBrush.reset();
        s.tour.reset();
        s.mainWindow = nullptr;
        ownerWindow_.reset();
        s.languageModule.reset();
    }

    package::TourInfo& info() { return shellState.tour->info(); }

    // The program's file holds `photo` at `photoOffset`, after other bytes.
    void storePhoto(const test_support::Bytes& photo, std::int32_t length) {
        test_support::Bytes file(photoOffset + photo.size(), 0x5A);
        std::copy(photo.begin(), photo.end(), file.begin() + photoOffset);
        test_support::writeFile(shellState.executablePath.c_str(), file);
        info().setPicture(std::make_unique<package::FileItem>(shellState.executablePath.c_str(),
                                                              photoOffset, length));
    }

    INT_PTR run(int id, DLGPROC procedure, std::vector<Step> steps) {
        return runModal(owner_, id, procedure, std::move(steps));
    }

    void expectCentredOnOwner(HWND dialog, SIZE size) {
        const RECT owner = windowRect(owner_);
        const RECT rect = windowRect(dialog);
        const shell::Placement expected =
            shell::centredOnOwner(owner.left, owner.top, owner.right - owner.left,
                                  owner.bottom - owner.top, size.cx, size.cy);
        EXPECT_EQ(rect.left, expected.x);
        EXPECT_EQ(rect.top, expected.y);
        EXPECT_EQ(rect.right - rect.left, size.cx);
        EXPECT_EQ(rect.bottom - rect.top, size.cy);
    }

    // Entered first and left last, after TearDown has let go of every picture.
    platform::ComApartment apartment_;
    test_support::TempFolder folder_;
    platform::UniqueWindow ownerWindow_;
    HWND owner_ = nullptr;
};

TEST_F(DialogTest, AboutBoxTakesItsPictureSizeAndCloses) {
    const SIZE picture = bitmapSize(shellState.aboutFace.shown());
    test_support::Bitmap24 shot;
    const INT_PTR byClick = run(IDD_ABOUT, shell::aboutDialogProcedure,
                                {[&](HWND dialog) {
                                     expectCentredOnOwner(dialog, picture);
                                     shot = screenshotWhenShown(dialog);
                                 },
                                 [&](HWND dialog) {
                                     // Just outside the link's left edge.
                                     send(dialog, WM_LBUTTONDOWN, MK_LBUTTON, {70, 175});
                                 }});
    EXPECT_EQ(byClick, IDOK);
    // The face is the picture itself, pixel for pixel.
    int differing = 0;
    {
        const platform::WindowDC screen(nullptr);
        const platform::UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
        const platform::Selection selected(memory.get(), shellState.aboutFace.shown());
        for (int y = 0; y < picture.cy; y += 7) {
            for (int x = 0; x < picture.cx; x += 7) {
                differing += GetPixel(memory.get(), x, y) != pixelAt(shot, x, y);
            }
        }
    }
    EXPECT_EQ(differing, 0);
    test_support::writeBmp(test_support::besideThisProgram("dialog-about.bmp"), shot);

    EXPECT_EQ(run(IDD_ABOUT, shell::aboutDialogProcedure,
                  {[](HWND dialog) { SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }}),
              IDCANCEL);
}

TEST_F(DialogTest, PictureDialogEndsWithTheKeyStateOfTheClick) {
    const SIZE picture = bitmapSize(shellState.helpCard.shown());
    EXPECT_EQ(run(IDD_PICTURE, shell::pictureDialogProcedure, {[&](HWND dialog) {
                      expectCentredOnOwner(dialog, picture);
                      test_support::writeBmp(test_support::besideThisProgram("dialog-picture.bmp"),
                                             screenshotWhenShown(dialog));
                      send(dialog, WM_LBUTTONDOWN, MK_LBUTTON, {20, 20});
                  }}),
              MK_LBUTTON);
    EXPECT_EQ(run(IDD_PICTURE, shell::pictureDialogProcedure, {[](HWND dialog) {
                      send(dialog, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, {200, 100});
                  }}),
              MK_LBUTTON | MK_SHIFT);
}

TEST_F(DialogTest, InformationDialogShowsTheTextsKeepsItsSizeAndIgnoresEnter) {
    info().setInfoText1("Harbour Town");
    info().setInfoText2("Photographs: the author");
    info().setInfoText3("Narration");
    info().setWebAddress("https://tours.example.net/harbour");
    info().setEmailAddress("author@example.net");
    info().setInfoText4("Free to copy");
    // The template's own size, as the dialog manager makes it.
    RECT templateRect{};
    {
        const platform::UniqueWindow plain(CreateDialogParamA(
            shellState.languageModule.get(), MAKEINTRESOURCEA(IDD_TOUR_INFO), owner_, nullptr, 0));
        ASSERT_NE(plain.get(), nullptr);
        templateRect = windowRect(plain.get());
    }
    const SIZE own{templateRect.right - templateRect.left, templateRect.bottom - templateRect.top};

    bool openAfterEnter = false;
    const INT_PTR result =
        run(IDD_TOUR_INFO, shell::tourInfoDialogProcedure,
            {[&](HWND dialog) {
                 expectCentredOnOwner(dialog, own);
                 const auto text = [dialog](int id) {
                     char buffer[128] = {};
                     GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
                     return std::string(buffer);
                 };
                 EXPECT_EQ(text(IDC_INFO_TEXT1), "Harbour Town");
                 EXPECT_EQ(text(IDC_INFO_TEXT2), "Photographs: the author");
                 EXPECT_EQ(text(IDC_INFO_TEXT3), "Narration");
                 EXPECT_EQ(text(IDC_INFO_WEB), "https://tours.example.net/harbour");
                 EXPECT_EQ(text(IDC_INFO_EMAIL), "author@example.net");
                 EXPECT_EQ(text(IDC_INFO_TEXT4), "Free to copy");
                 PostMessageA(dialog, WM_KEYDOWN, VK_RETURN, 0);
                 PostMessageA(dialog, WM_KEYUP, VK_RETURN, 0);
             },
             [&](HWND dialog) {
                 SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                 openAfterEnter = IsWindowVisible(dialog) != FALSE;
                 PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
                 PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0);
             }});
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(DialogTest, InformationDialogClosesOnAClickBesideTheLinks) {
    info().setWebAddress("https://tours.example.net/");
    info().setEmailAddress("author@example.net");
    EXPECT_EQ(run(IDD_TOUR_INFO, shell::tourInfoDialogProcedure, {[](HWND dialog) {
                      send(dialog, WM_LBUTTONDOWN, MK_LBUTTON, {10, 10});
                  }}),
              MK_LBUTTON);
    // Where an empty link stands there is nothing to open: the click closes.
    info().setWebAddress("");
    EXPECT_EQ(run(IDD_TOUR_INFO, shell::tourInfoDialogProcedure, {[](HWND dialog) {
                      send(dialog, WM_LBUTTONDOWN, MK_LBUTTON, controlCentre(dialog, IDC_INFO_WEB));
                  }}),
              MK_LBUTTON);
}

TEST_F(DialogTest, HandCursorOverTheLinksAndALabelForTextsOverTwentyCharacters) {
    info().setInfoText1("Short");
    info().setInfoText2("Twenty characters ok");   // 20: no label
    info().setInfoText3("Twenty-one characters");  // 21: a label 126 wide
    info().setWebAddress("w.io");
    info().setEmailAddress("a@b.cd");
    HCURSOR hand = LoadCursorA(shellState.languageModule.get(), MAKEINTRESOURCEA(IDC_LINK_HAND));
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(hand, nullptr);

    struct Seen {
        bool hand = false;
        bool labelVisible = false;
        RECT label{};
        std::string labelText;
        std::string labelClass;
    };
    const auto moveOver = [&](HWND dialog, POINT point) {
        SetCursor(arrow);
        send(dialog, WM_MOUSEMOVE, 0, point);
        Seen seen;
        seen.hand = GetCursor() == hand;
        HWND label = shellState.labelWindow;
        seen.labelVisible = label != nullptr && IsWindowVisible(label);
        if (label != nullptr) {
            seen.label = windowRect(label);
            char text[128] = {};
            GetWindowTextA(label, text, sizeof text);
            seen.labelText = text;
            GetClassNameA(label, text, sizeof text);
            seen.labelClass = text;
        }
        return seen;
    };

    std::vector<std::pair<int, Seen>> overControls;
    Seen overPhoto;
    Seen backOverShort;
    POINT expectedLabel{};
    HWND labelOfFirstDialog = nullptr;
    run(IDD_TOUR_INFO, shell::tourInfoDialogProcedure, {[&](HWND dialog) {
            for (const int id : {IDC_INFO_TEXT1, IDC_INFO_TEXT2, IDC_INFO_TEXT3, IDC_INFO_WEB,
                                 IDC_INFO_EMAIL, IDC_INFO_TEXT4}) {
                overControls.emplace_back(id, moveOver(dialog, controlCentre(dialog, id)));
            }
            // Where the label of text 3 goes: 50 right and 20 below the
            // pointer, less the dialog's frame and caption.
            POINT pointer = controlCentre(dialog, IDC_INFO_TEXT3);
            ClientToScreen(dialog, &pointer);
            POINT corner{windowRect(dialog).left, windowRect(dialog).top};
            ScreenToClient(dialog, &corner);
            expectedLabel = {pointer.x + 50 + corner.x, pointer.y + 20 + corner.y};
            moveOver(dialog, controlCentre(dialog, IDC_INFO_TEXT3));
            backOverShort = moveOver(dialog, controlCentre(dialog, IDC_INFO_TEXT1));
            moveOver(dialog, controlCentre(dialog, IDC_INFO_TEXT3));
            overPhoto = moveOver(dialog, {100, 100});
            labelOfFirstDialog = shellState.labelWindow;
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }});

    for (const auto& [id, seen] : overControls) {
        EXPECT_EQ(seen.hand, id == IDC_INFO_WEB || id == IDC_INFO_EMAIL) << "control " << id;
        EXPECT_EQ(seen.labelVisible, id == IDC_INFO_TEXT3) << "control " << id;
        if (id == IDC_INFO_TEXT3) {
            EXPECT_EQ(seen.labelText, "Twenty-one characters");
            EXPECT_STRCASEEQ(seen.labelClass.c_str(), shell::labelClassName);
            EXPECT_EQ(seen.label.right - seen.label.left, 126);
            EXPECT_EQ(seen.label.bottom - seen.label.top, 20);
            EXPECT_EQ(seen.label.left, expectedLabel.x);
            EXPECT_EQ(seen.label.top, expectedLabel.y);
        }
    }
    EXPECT_FALSE(backOverShort.labelVisible) << "the label left with its text";
    EXPECT_FALSE(overPhoto.hand);
    EXPECT_FALSE(overPhoto.labelVisible);
    // The label went with its dialog; the next dialog makes a new one.
    EXPECT_FALSE(IsWindow(labelOfFirstDialog));
    bool labelAgain = false;
    run(IDD_TOUR_INFO, shell::tourInfoDialogProcedure, {[&](HWND dialog) {
            labelAgain = moveOver(dialog, controlCentre(dialog, IDC_INFO_TEXT3)).labelVisible;
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }});
    EXPECT_TRUE(labelAgain);
}

// --- The author's photo ------------------------------------------------------

int readsCounted = 0;
HGLOBAL countingReader(const char* path, std::int32_t offset, std::int32_t length) {
    ++readsCounted;
    return shell::readFileRange(path, offset, length);
}

TEST_F(DialogTest, PhotoIsDecodedOnceAndPaintedCentredInItsSquare) {
    const test_support::Bytes photo = test_support::bmpPicture(60, 40, 10, 200, 30);
    storePhoto(photo, static_cast<std::int32_t>(photo.size()));
    readsCounted = 0;
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(shell::loadAuthorPhoto(countingReader));
    }
    EXPECT_EQ(readsCounted, 1);
    HBITMAP decoded = shellState.authorPhoto.bitmap();
    ASSERT_NE(decoded, nullptr);

    // Painted twice in two dialogs: the same bitmap, where the square says.
    for (int round = 0; round < 2; ++round) {
        test_support::Bitmap24 shot;
        run(IDD_TOUR_INFO, shell::tourInfoDialogProcedure, {[&](HWND dialog) {
                InvalidateRect(dialog, nullptr, TRUE);
                UpdateWindow(dialog);
                shot = screenshotWhenShown(dialog);
                SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            }});
        EXPECT_EQ(shellState.authorPhoto.bitmap(), decoded);
        // (200 - 60) / 2 = 70, (200 - 40) / 2 + 8 = 88; the photo's top-left
        // pixel is red.
        EXPECT_EQ(pixelAt(shot, 70, 88), RGB(255, 0, 0));
        EXPECT_EQ(pixelAt(shot, 71, 88), RGB(10, 200, 30));
        EXPECT_EQ(pixelAt(shot, 129, 127), RGB(10, 200, 30));
        EXPECT_EQ(pixelAt(shot, 69, 100), dialogColour);
        EXPECT_EQ(pixelAt(shot, 130, 100), dialogColour);
        EXPECT_EQ(pixelAt(shot, 100, 128), dialogColour);
        if (round == 0) {
            test_support::writeBmp(test_support::besideThisProgram("dialog-info.bmp"), shot);
        }
    }
}

TEST_F(DialogTest, NoPhotoWithoutLengthAndACorruptOneIsTriedAgainUnseen) {
    const test_support::Bytes photo = test_support::bmpPicture(60, 40, 10, 200, 30);
    storePhoto(photo, 0);
    readsCounted = 0;
    EXPECT_FALSE(shell::loadAuthorPhoto(countingReader));
    EXPECT_EQ(readsCounted, 0) << "the program's file was opened for a photo of length 0";

    test_support::Bytes corrupt(700, 0x33);
    corrupt[0] = 'B';
    corrupt[1] = 'M';
    storePhoto(corrupt, static_cast<std::int32_t>(corrupt.size()));
    EXPECT_FALSE(shell::loadAuthorPhoto(countingReader));
    EXPECT_FALSE(shell::loadAuthorPhoto(countingReader));
    EXPECT_EQ(readsCounted, 2);
    EXPECT_FALSE(shellState.authorPhoto);
    EXPECT_EQ(shellState.authorPhoto.bitmap(), nullptr);

    // The dialog shows no photo and no message; it closes as usual.
    test_support::Bitmap24 shot;
    EXPECT_EQ(run(IDD_TOUR_INFO, shell::tourInfoDialogProcedure, {[&](HWND dialog) {
                      shot = screenshotWhenShown(dialog);
                      SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                  }}),
              IDCANCEL);
    EXPECT_EQ(pixelAt(shot, 100, 108), dialogColour);

    // A photo said to run past the end of the file is not read at all.
    storePhoto(photo, static_cast<std::int32_t>(photo.size()) + 1);
    EXPECT_FALSE(shell::loadAuthorPhoto(shell::readFileRange));
}

TEST(FileRangeTest, ReadsExactlyTheRangeOrNothing) {
    test_support::TempFolder folder;
    const std::string path = (folder.path() / "file.bin").string();
    test_support::Bytes bytes(300);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    test_support::writeFile(path, bytes);
    const platform::UniqueGlobal range(shell::readFileRange(path.c_str(), 100, 200));
    const HGLOBAL block = range.get();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 200u);
    const auto* read = static_cast<const std::uint8_t*>(GlobalLock(block));
    EXPECT_EQ(read[0], 100);
    EXPECT_EQ(read[199], static_cast<std::uint8_t>(299));
    GlobalUnlock(block);
    EXPECT_EQ(shell::readFileRange(path.c_str(), 101, 200), nullptr);
    EXPECT_EQ(shell::readFileRange(path.c_str(), -1, 10), nullptr);
    EXPECT_EQ(shell::readFileRange(path.c_str(), 0, 0), nullptr);
    EXPECT_EQ(shell::readFileRange(path.c_str(), 0, -5), nullptr);
    EXPECT_EQ(shell::readFileRange((folder.path() / "missing").string().c_str(), 0, 1), nullptr);
}

}  // namespace

// Checks the default skin as the player uses it: each of the 26 images decodes
// with the platform picture service at the size its slot needs, the hover and
// pressed looks fit the strips they are drawn on, the status line stays
// readable, and the full-screen toolbar matches the outline that shapes its
// window. Keeps a montage of the whole skin as a test artefact.
#include "lang_ids.h"
#include "module_path.h"
#include "picture_check.h"
#include "platform/scoped_handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace test_support {
namespace {

constexpr int kSlots = 26;

struct Rect {
    int x, y, width, height;
};

// Control rectangles of the toolbar (toolbar client coordinates) and the pad.
constexpr std::array<Rect, 11> kControls = {{{18, 29, 17, 17},
                                             {44, 29, 17, 17},
                                             {31, 16, 17, 17},
                                             {32, 42, 17, 17},
                                             {32, 29, 17, 17},
                                             {86, 28, 31, 31},
                                             {124, 28, 31, 31},
                                             {162, 28, 31, 31},
                                             {200, 28, 31, 31},
                                             {238, 28, 31, 31},
                                             {276, 28, 31, 31}}};
constexpr Rect kPad = {18, 16, 43, 43};

std::string slotPath(int slot) {
    char pattern[16];
    std::snprintf(pattern, sizeof pattern, "%02d*", slot);
    const std::string folder = LUMIVUE_SKIN_DIR;
    WIN32_FIND_DATAA found{};
    const platform::UniqueFileSearch search(
        FindFirstFileA((folder + "/" + pattern).c_str(), &found));
    if (!search)
        return {};
    std::string path;
    do {
        const std::string name = found.cFileName;
        const std::string extension = name.size() > 4 ? name.substr(name.size() - 4) : "";
        if (extension == ".gif" || extension == ".bmp")
            path = folder + "/" + name;
    } while (path.empty() && FindNextFileA(search.get(), &found));
    return path;
}

int colourDistance(std::uint32_t a, std::uint32_t b) {
    return std::max({std::abs(Pixels::red(a) - Pixels::red(b)),
                     std::abs(Pixels::green(a) - Pixels::green(b)),
                     std::abs(Pixels::blue(a) - Pixels::blue(b))});
}

class SkinTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        apartment_ = std::make_unique<platform::ComApartment>();
        images_ = std::make_unique<std::vector<Pixels>>(kSlots);
        for (int slot = 0; slot < kSlots; ++slot) {
            const std::string path = slotPath(slot);
            if (path.empty())
                continue;
            platform::ComRef<IPicture> picture = decodePictureFile(path);
            if (picture)
                (*images_)[slot] = picturePixels(picture.get());
        }
    }
    static void TearDownTestSuite() {
        images_.reset();
        apartment_.reset();
    }
    static const Pixels& slot(int index) { return (*images_)[index]; }

    static std::unique_ptr<platform::ComApartment> apartment_;
    static std::unique_ptr<std::vector<Pixels>> images_;
};

std::unique_ptr<platform::ComApartment> SkinTest::apartment_;
std::unique_ptr<std::vector<Pixels>> SkinTest::images_;

TEST_F(SkinTest, EverySlotDecodesAtItsSize) {
    for (int k = 0; k < 11; ++k) {
        for (int look = 0; look < 2; ++look) {
            const int index = 2 * k + look;
            EXPECT_FALSE(slotPath(index).empty()) << "no image for slot " << index;
            EXPECT_EQ(slot(index).width, kControls[k].width) << "slot " << index;
            EXPECT_EQ(slot(index).height, kControls[k].height) << "slot " << index;
        }
    }
    EXPECT_EQ(slot(22).width, kPad.width);
    EXPECT_EQ(slot(22).height, kPad.height);
    // the window skin covers the client area of the largest view: 480 wide,
    // 36 + 360 + 102 high
    EXPECT_GE(slot(23).width, 480);
    EXPECT_GE(slot(23).height, 36 + 360 + 102);
    EXPECT_EQ(slot(24).width, 480);
    EXPECT_EQ(slot(24).height, 102);
    EXPECT_EQ(slot(25).width, 480);
    EXPECT_EQ(slot(25).height, 72);
}

// A hover or pressed image is copied over the strip; its edge must blend with
// what lies beneath, in the windowed and in the full-screen toolbar alike.
TEST_F(SkinTest, ButtonLooksFitTheStripsBeneathThem) {
    ASSERT_EQ(slot(24).width, 480);
    ASSERT_EQ(slot(25).width, 480);
    for (int k = 0; k < 11; ++k) {
        const Rect& r = kControls[k];
        for (int look = 0; look < 2; ++look) {
            const Pixels& image = slot(2 * k + look);
            ASSERT_EQ(image.width, r.width);
            for (auto [cx, cy] :
                 {std::pair{0, 0}, std::pair{r.width - 1, 0}, std::pair{0, r.height - 1},
                  std::pair{r.width - 1, r.height - 1}}) {
                // buttons 0 to 4 are drawn over the pad background
                const std::uint32_t beneath =
                    k < 5 ? slot(22).at(r.x - kPad.x + cx, r.y - kPad.y + cy)
                          : slot(24).at(r.x + cx, r.y + cy);
                EXPECT_LE(colourDistance(image.at(cx, cy), beneath), 12)
                    << "slot " << 2 * k + look << " corner " << cx << "," << cy;
            }
            // and the look differs from the idle strip, or hovering shows nothing
            int changed = 0;
            for (int y = 0; y < r.height; ++y) {
                for (int x = 0; x < r.width; ++x) {
                    changed += colourDistance(image.at(x, y), slot(24).at(r.x + x, r.y + y)) > 24;
                }
            }
            EXPECT_GT(changed, 10) << "slot " << 2 * k + look << " looks like the idle button";
        }
    }
    // the pad background and the panel of both strips agree
    for (int y = 0; y < kPad.height; ++y) {
        for (int x = 0; x < kPad.width; ++x) {
            ASSERT_LE(colourDistance(slot(22).at(x, y), slot(24).at(kPad.x + x, kPad.y + y)), 12);
            ASSERT_LE(colourDistance(slot(22).at(x, y), slot(25).at(kPad.x + x, kPad.y + y)), 12);
        }
    }
    for (int k = 5; k < 11; ++k) {
        const Rect& r = kControls[k];
        for (int y = r.y; y < r.y + r.height; ++y) {
            for (int x = r.x; x < r.x + r.width; ++x) {
                ASSERT_LE(colourDistance(slot(24).at(x, y), slot(25).at(x, y)), 12)
                    << "idle button " << k << " differs between the toolbars at " << x << "," << y;
            }
        }
    }
}

// The status text is drawn in white from (15, 102 - 28) with the system font.
TEST_F(SkinTest, StatusLineIsDarkEnoughForWhiteText) {
    const Pixels& strip = slot(24);
    ASSERT_EQ(strip.height, 102);
    for (int y = 102 - 28; y < 102 - 28 + 16; ++y) {
        for (int x = 15; x < 315; ++x) {
            const std::uint32_t p = strip.at(x, y);
            const int luminance =
                (2 * Pixels::red(p) + 7 * Pixels::green(p) + Pixels::blue(p)) / 10;
            ASSERT_LT(luminance, 64) << "too bright for white text at " << x << "," << y;
        }
    }
}

TEST_F(SkinTest, FullScreenToolbarMatchesTheLanguageModuleOutline) {
    const platform::UniqueModule module(LoadLibraryA(modulePath("en").c_str()));
    ASSERT_NE(module.get(), nullptr);
    platform::ComRef<IPicture> picture =
        decodeResourcePicture(module.get(), IDP_FULL_SCREEN_OUTLINE);
    ASSERT_NE(picture.get(), nullptr);
    const Pixels outline = picturePixels(picture.get());
    const Pixels& toolbar = slot(25);
    ASSERT_EQ(outline.width, toolbar.width);
    ASSERT_EQ(outline.height, toolbar.height);
    // the window keeps what is not within 16 of black: the same pixels must
    // be kept in the outline and drawn (not black) in the toolbar image
    auto kept = [](std::uint32_t p) {
        return Pixels::red(p) > 16 || Pixels::green(p) > 16 || Pixels::blue(p) > 16;
    };
    int mismatches = 0;
    for (int y = 0; y < outline.height; ++y) {
        for (int x = 0; x < outline.width; ++x) {
            mismatches += kept(outline.at(x, y)) != kept(toolbar.at(x, y));
        }
    }
    EXPECT_EQ(mismatches, 0);
    // every control of the toolbar lies inside the shape
    for (const Rect& r : kControls) {
        for (int y = r.y; y < r.y + r.height; ++y) {
            for (int x = r.x; x < r.x + r.width; ++x)
                ASSERT_TRUE(kept(outline.at(x, y)));
        }
    }
}

TEST_F(SkinTest, MontageOfTheSkinIsKept) {
    // controls in two rows (hover above pressed), then the strips and the
    // window skin at the right
    Pixels montage;
    montage.width = 480 + 24 + slot(23).width + 24;
    montage.height = std::max(16 + 2 * 40 + 16 + 102 + 16 + 72 + 16, slot(23).height + 24);
    montage.argb.assign(static_cast<size_t>(montage.width) * montage.height, 0x808890);
    auto place = [&](const Pixels& image, int left, int top) {
        for (int y = 0; y < image.height && top + y < montage.height; ++y) {
            for (int x = 0; x < image.width && left + x < montage.width; ++x) {
                montage.argb[static_cast<size_t>(top + y) * montage.width + left + x] =
                    image.at(x, y);
            }
        }
    };
    int x = 12;
    place(slot(22), x, 16);
    x += slot(22).width + 8;
    for (int k = 0; k < 11; ++k) {
        place(slot(2 * k), x, 16);
        place(slot(2 * k + 1), x, 56);
        x += kControls[k].width + 6;
    }
    place(slot(24), 12, 112);
    place(slot(25), 12, 112 + 102 + 16);
    place(slot(23), 480 + 24, 12);
    CreateDirectoryA(LUMIVUE_ARTIFACT_DIR, nullptr);
    const std::string path = std::string(LUMIVUE_ARTIFACT_DIR) + "/skin-montage.bmp";
    ASSERT_TRUE(writeBmp(path, montage));
    // read it back through the picture service: the artefact is a real image
    platform::ComRef<IPicture> reread = decodePictureFile(path);
    ASSERT_NE(reread.get(), nullptr);
    EXPECT_EQ(picturePixels(reread.get()).width, montage.width);
}

}  // namespace
}  // namespace test_support

#include "imaging/picture_loader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "imaging/image_exceptions.h"
#include "imaging/image_geometry.h"
#include "imaging/image_prompts.h"
#include "imaging/scene_media_manager.h"
#include "platform/com_apartment.h"
#include "platform/com_ref.h"
#include "platform/scoped_handle.h"
#include "module_path.h"
#include "scratch_files.h"
#include "screen_capture.h"
#include "message_box_watcher.h"
#include "imaging_material.h"

namespace {

using namespace test_support;

class PictureDecoding : public ::testing::Test {
  protected:
    void SetUp() override { useTestLanguageModule(); }

    std::shared_ptr<imaging::DibImage> decodeFile(const std::string& path) {
        return manager.loadImageFromGlobalWithNextId(
            makeBlock(readFile(path)), static_cast<std::int32_t>(readFile(path).size()));
    }

    platform::ComApartment apartment;
    imaging::SceneMediaManager manager;
};

void expectRgbHeader(const imaging::DibImage& image, std::int32_t width, std::int32_t height) {
    ASSERT_NE(image.header(), nullptr);
    const BITMAPINFOHEADER& header = *image.header();
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, width);
    EXPECT_EQ(header.biHeight, height);  // positive: bottom-up
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.biSizeImage, 0u);
    EXPECT_EQ(header.biXPelsPerMeter, 0);
    EXPECT_EQ(header.biClrUsed, 0u);
    EXPECT_EQ(image.stride(), imaging::dibStride(width));
    ASSERT_NE(image.bits(), nullptr);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectA(image.bitmap(), sizeof section, &section),
              static_cast<int>(sizeof section));
    EXPECT_EQ(section.dsBm.bmBits, image.bits());
    EXPECT_EQ(section.dsBmih.biBitCount, 24);
}

struct CornerCase {
    const char* file;
    int tolerance;  // JPEG is lossy
};

TEST_F(PictureDecoding, RealPicturesBecome24BitBottomUpWithTheRedCornerOnTop) {
    for (const CornerCase& picture :
         {CornerCase{"corner-24bit.bmp", 0}, CornerCase{"corner-palette-1bit.bmp", 0},
          CornerCase{"corner-palette-8bit.bmp", 0}, CornerCase{"corner-palette-rle8.bmp", 0},
          CornerCase{"corner.gif", 0}, CornerCase{"corner-baseline.jpg", 12},
          CornerCase{"corner-progressive.jpg", 12}}) {
        SCOPED_TRACE(picture.file);
        for (const bool fromFile : {false, true}) {
            const auto image = fromFile
                                   ? manager.loadImageFromFile(picturePath(picture.file).c_str())
                                   : decodeFile(picturePath(picture.file));
            ASSERT_FALSE(image->isNull());
            expectRgbHeader(*image, 40, 30);
            // The top-left pixel lies at the start of the last row in memory.
            const std::uint8_t* corner = image->bits() + 29 * image->stride();
            EXPECT_NEAR(corner[0], 0, picture.tolerance);
            EXPECT_NEAR(corner[1], 0, picture.tolerance);
            EXPECT_NEAR(corner[2], 255, picture.tolerance);
            // The first row in memory is the picture's bottom row: background.
            if (std::string(picture.file).find("palette") == std::string::npos ||
                std::string(picture.file).find("1bit") != std::string::npos) {
                const Bgr bottomLeft = pixelAt(image->bits(), image->stride(), 30, 0, 29);
                EXPECT_NEAR(bottomLeft.blue, 0x40, picture.tolerance);
                EXPECT_NEAR(bottomLeft.green, 0x30, picture.tolerance);
                EXPECT_NEAR(bottomLeft.red, 0x20, picture.tolerance);
            }
            const Bgr belowBlock = pixelAt(image->bits(), image->stride(), 30, 3, 12);
            EXPECT_NEAR(belowBlock.red, 0x20, picture.tolerance);
        }
    }
}

TEST_F(PictureDecoding, PicturesShippedOnThisMachineDecodeAtTheirSize) {
    std::ifstream list(picturePath("shipped.txt"));
    int decoded = 0;
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string path;
        int width = 0;
        int height = 0;
        fields >> path >> width >> height;
        SCOPED_TRACE(path);
        const auto image = manager.loadImageFromFile(path.c_str());
        ASSERT_FALSE(image->isNull());
        expectRgbHeader(*image, width, height);
        ++decoded;
    }
    if (decoded == 0) {
        GTEST_SKIP() << "no JPEG, GIF or BMP files from Debian packages on this machine";
    }
}

TEST_F(PictureDecoding, PixelSizeComesFromHimetricAtScreenResolution) {
    imaging::PictureLoader loader;
    ASSERT_TRUE(loader.loadFromFile(picturePath("square-96.bmp").c_str()));
    const int dpi = GetDeviceCaps(platform::WindowDC(nullptr).get(), LOGPIXELSX);
    ASSERT_EQ(dpi, 96) << "the expected sizes below assume a 96-dpi screen";
    {
        // The picture service reports this bitmap as 2540 x 2540 HIMETRIC.
        const auto bytes = readFile(picturePath("square-96.bmp"));
        platform::ComRef<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(makeBlock(bytes).release(), TRUE, stream.receive()), S_OK);
        platform::ComRef<IPicture> picture;
        ASSERT_EQ(OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                 reinterpret_cast<void**>(picture.receive())),
                  S_OK);
        OLE_XSIZE_HIMETRIC width = 0;
        OLE_YSIZE_HIMETRIC height = 0;
        picture->get_Width(&width);
        picture->get_Height(&height);
        EXPECT_EQ(width, 2540);
        EXPECT_EQ(height, 2540);
    }
    // 96 pixels at 96 dpi are 2540 HIMETRIC units, and back again.
    EXPECT_EQ(loader.pixelSize(), (imaging::PixelSize{96, 96}));
    const imaging::LoadedBitmap loaded = loader.bitmap();
    ASSERT_NE(loaded.bitmap.get(), nullptr);
    EXPECT_EQ(loaded.header.biWidth, 96);
    EXPECT_EQ(imaging::dibStride(loaded.header.biWidth), 288);

    const auto narrow = manager.loadImageFromFile(picturePath("width-33.bmp").c_str());
    expectRgbHeader(*narrow, 33, 10);
    EXPECT_EQ(narrow->stride(), 100);
}

TEST_F(PictureDecoding, ReducedModeShrinksLargePanoramas) {
    manager.setMode(imaging::SceneMediaManager::Mode::reduced);
    struct Expected {
        const char* file;
        std::int32_t width, height;
    };
    for (const Expected& expected :
         {Expected{"pano-4000x1000.jpg", 1000, 250}, Expected{"pano-1800x1000.jpg", 900, 500},
          Expected{"pano-2000x1000.jpg", 1000, 500}, Expected{"pano-1000x600.jpg", 1000, 600},
          Expected{"pano-1200x500.jpg", 1200, 500}}) {
        SCOPED_TRACE(expected.file);
        const auto image = decodeFile(picturePath(expected.file));
        ASSERT_FALSE(image->isNull());
        expectRgbHeader(*image, expected.width, expected.height);
        // Stretched, not cropped: the far corner carries the picture's colour.
        const Bgr farCorner = pixelAt(image->bits(), image->stride(), expected.height,
                                      expected.width - 1, expected.height - 1);
        EXPECT_NEAR(farCorner.red, 0x80, 8);
        EXPECT_NEAR(farCorner.blue, 0, 8);
    }
}

TEST_F(PictureDecoding, FullModeKeepsTheNaturalSize) {
    const auto image = decodeFile(picturePath("pano-4000x1000.jpg"));
    expectRgbHeader(*image, 4000, 1000);
}

TEST_F(PictureDecoding, BitmapOperationsWithoutAPictureGiveNothing) {
    imaging::PictureLoader loader;
    const imaging::LoadedBitmap whole = loader.bitmap();
    EXPECT_EQ(whole.bitmap.get(), nullptr);
    EXPECT_EQ(whole.bits, nullptr);
    const imaging::LoadedBitmap scaled = loader.scaledBitmap(10, 10);
    EXPECT_EQ(scaled.bitmap.get(), nullptr);
    EXPECT_EQ(scaled.bits, nullptr);
    EXPECT_EQ(loader.pixelSize(), (imaging::PixelSize{0, 0}));
}

TEST_F(PictureDecoding, ScaledBitmapWithBothSidesMissingLeavesThePictureAlone) {
    imaging::PictureLoader loader;
    ASSERT_TRUE(loader.loadFromFile(picturePath("corner.gif").c_str()));
    const imaging::LoadedBitmap none = loader.scaledBitmap(-1, -1);
    EXPECT_EQ(none.bitmap.get(), nullptr);
    EXPECT_EQ(none.bits, nullptr);
    EXPECT_TRUE(loader.holdsPicture());
    EXPECT_EQ(loader.pixelSize(), (imaging::PixelSize{40, 30}));

    // Both sides given: stretched to exactly that size.
    const imaging::LoadedBitmap stretched = loader.scaledBitmap(80, 10);
    ASSERT_NE(stretched.bitmap.get(), nullptr);
    EXPECT_EQ(stretched.header.biWidth, 80);
    EXPECT_EQ(stretched.header.biHeight, 10);
    const Bgr corner =
        pixelAt(static_cast<std::uint8_t*>(stretched.bits), imaging::dibStride(80), 10, 0, 0);
    EXPECT_EQ(corner.red, 255);
}

TEST_F(PictureDecoding, BufferAndBlockSourcesDecodeLikeTheFile) {
    const auto bytes = readFile(picturePath("corner.gif"));
    imaging::PictureLoader loader;
    ASSERT_TRUE(
        loader.loadFromBufferKeepingIt(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    EXPECT_EQ(loader.pixelSize(), (imaging::PixelSize{40, 30}));
    ASSERT_TRUE(loader.loadFromGlobal(makeBlock(bytes), static_cast<std::int32_t>(bytes.size())));
    EXPECT_EQ(loader.pixelSize(), (imaging::PixelSize{40, 30}));
    loader.releasePicture();
    EXPECT_FALSE(loader.holdsPicture());
}

TEST_F(PictureDecoding, MissingFileGivesFalseWithoutAPrompt) {
    MessageBoxWatcher answerer(decodeCaption, IDYES);
    imaging::PictureLoader loader;
    EXPECT_FALSE(loader.loadFromFile(picturePath("no-such-picture.jpg").c_str()));
    EXPECT_FALSE(loader.holdsPicture());
    EXPECT_EQ(answerer.answered(), 0);
}

TEST_F(PictureDecoding, MissingFileGivesANullImageCachedOnce) {
    const auto first = manager.loadImageFromFile(picturePath("no-such-picture.jpg").c_str());
    EXPECT_TRUE(first->isNull());
    EXPECT_EQ(first->id(), imaging::DibImage::nullId);
    EXPECT_EQ(first->bits(), nullptr);
    EXPECT_EQ(first->header(), nullptr);
    EXPECT_EQ(first->stride(), 0);
    ASSERT_EQ(manager.imageCache().count(), 1);
    EXPECT_EQ(manager.imageCache().at(0).get(), first.get());

    const auto second = manager.loadImageFromFile(picturePath("no-such-picture.jpg").c_str());
    EXPECT_TRUE(second->isNull());
    EXPECT_EQ(manager.imageCache().count(), 1);  // same id: not taken
    EXPECT_EQ(manager.imageCache().at(0).get(), first.get());
    EXPECT_EQ(second.use_count(), 1);  // the caller's alone, freed when dropped
}

TEST_F(PictureDecoding, BrokenPictureAsksAndYesGoesOnWithTheNullImage) {
    for (const char* file : {"truncated.jpg", "not-a-picture.jpg"}) {
        SCOPED_TRACE(file);
        MessageBoxWatcher answerer(decodeCaption, IDYES);
        const auto image = decodeFile(picturePath(file));
        EXPECT_EQ(answerer.answered(), 1);
        EXPECT_EQ(answerer.lastText(), decodeText);
        EXPECT_TRUE(image->isNull());
        EXPECT_EQ(image->id(), imaging::DibImage::nullId);
        EXPECT_EQ(manager.imageCache().count(), 0);  // null images from blocks are not cached
        EXPECT_FALSE(manager.loader().holdsPicture());
    }
}

TEST_F(PictureDecoding, EmptyPictureAsksInsteadOfRunningOutOfMemory) {
    MessageBoxWatcher answerer(decodeCaption, IDYES);
    imaging::PictureLoader loader;
    EXPECT_FALSE(loader.loadFromBufferKeepingIt(nullptr, 0));
    EXPECT_EQ(answerer.answered(), 1);
}

TEST_F(PictureDecoding, BrokenPictureAndNoEndsTheProcessWithStatus1) {
    const std::string path = picturePath("truncated.jpg");
    EXPECT_EXIT(
        {
            MessageBoxWatcher answerer(decodeCaption, IDNO);
            decodeFile(path);
        },
        ::testing::ExitedWithCode(1), "");
}

TEST_F(PictureDecoding, BitmapTheSystemRefusesGivesTheWarningAndNull) {
    imaging::PictureLoader loader;
    ASSERT_TRUE(loader.loadFromFile(picturePath("corner.gif").c_str()));
    MessageBoxWatcher answerer(warningCaption, IDOK);
    // Three million pixels square: no platform makes that section.
    const imaging::LoadedBitmap refused = loader.scaledBitmap(3000000, 3000000);
    EXPECT_EQ(refused.bitmap.get(), nullptr);
    EXPECT_EQ(refused.bits, nullptr);
    EXPECT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.lastText(), warningText);
}

}  // namespace

namespace {

using namespace test_support;

std::string languageString(HMODULE module, UINT id) {
    char text[300] = {};
    LoadStringA(module, id, text, sizeof text);
    return text;
}

TEST(LanguageModulePrompts, TheDecodePromptShowsTheModulesStrings) {
    const std::string path = test_support::modulePath("en");
    if (!fileExists(path)) {
        GTEST_SKIP() << "the language modules are not part of this build";
    }
    platform::ComApartment apartment;
    const platform::UniqueModule loaded(LoadLibraryA(path.c_str()));
    const HMODULE module = loaded.get();
    ASSERT_NE(module, nullptr);
    const std::string caption = languageString(module, imaging::decodePromptCaption);
    const std::string text = languageString(module, imaging::decodePromptText);
    ASSERT_FALSE(caption.empty());
    imaging::setPromptModule(module);
    {
        MessageBoxWatcher answerer(caption, IDYES);
        imaging::PictureLoader loader;
        const auto bytes = readFile(picturePath("truncated.jpg"));
        EXPECT_FALSE(
            loader.loadFromBufferKeepingIt(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
        EXPECT_EQ(answerer.answered(), 1);
        // The box shows the text as the module holds it (line breaks included).
        EXPECT_EQ(answerer.lastText(), text);
    }
    useTestLanguageModule();  // before the module goes
}

}  // namespace

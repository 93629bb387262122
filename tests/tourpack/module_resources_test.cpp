// The resource reader over module bytes made here, laid out as a linker lays
// out a resource-only module: headers, one ".rsrc" section, the three levels
// of the resource directory and the data.
#include "windows_module/module_resources.h"

#include <gtest/gtest.h>

#include "module_image.h"
#include "scratch_files.h"

namespace {

using test_support::Bytes;
using test_support::put16;
using test_support::put32;

constexpr std::size_t peAt = 64;
constexpr std::size_t optionalAt = peAt + 24;
constexpr std::size_t sectionAt = optionalAt + 240;
constexpr std::size_t resourcesAt = 0x200;
constexpr std::size_t dataEntryAt = resourcesAt + 72;
constexpr std::size_t dataAt = resourcesAt + 88;

// A 64-bit module holding one resource of `type` and `id` with `data`: its
// directories and data entry lie at the offsets above.
Bytes moduleWith(std::uint32_t type, std::uint32_t id, const Bytes& data) {
    return test_support::moduleWithResources({{type, {}, id, data}});
}

// A 3 x 2 bitmap resource of `bits` a pixel: bottom row blue, red, key
// colour; top row white, black, green.
Bytes bitmapResource(int bits, bool topDown = false) {
    Bytes header(40, 0);
    put32(header, 0, 40);
    put32(header, 4, 3);
    put32(header, 8, topDown ? static_cast<std::uint32_t>(-2) : 2u);
    put16(header, 12, 1);
    put16(header, 14, static_cast<std::uint32_t>(bits));
    const std::uint8_t colours[6][3] = {{255, 0, 0},     {0, 0, 255}, {255, 0, 255},
                                        {255, 255, 255}, {0, 0, 0},   {0, 255, 0}};
    Bytes rows;
    const auto row = [&](int first) {
        Bytes line;
        for (int x = 0; x < 3; ++x) {
            if (bits == 24) {
                line.insert(line.end(), colours[first + x], colours[first + x] + 3);
            } else {
                line.push_back(static_cast<std::uint8_t>(first + x));
            }
        }
        line.resize((line.size() + 3) / 4 * 4, 0);
        return line;
    };
    const Bytes bottom = row(0);
    const Bytes top = row(3);
    for (const Bytes* line : topDown ? std::vector{&top, &bottom} : std::vector{&bottom, &top}) {
        rows.insert(rows.end(), line->begin(), line->end());
    }
    if (bits == 8) {
        put32(header, 32, 6);
        for (const auto& colour : colours) {
            header.insert(header.end(), colour, colour + 3);
            header.push_back(0);
        }
    }
    header.insert(header.end(), rows.begin(), rows.end());
    return header;
}

TEST(ModuleResources, FindsABitmapAndDecodesItBottomUp) {
    for (const int bits : {8, 24}) {
        for (const bool topDown : {false, true}) {
            const Bytes module =
                moduleWith(tourpack::bitmapResourceType, 311, bitmapResource(bits, topDown));
            std::string error;
            const auto found =
                tourpack::findModuleResource(module, tourpack::bitmapResourceType, 311, error);
            ASSERT_TRUE(found) << error;
            EXPECT_EQ(found->offset, dataAt);
            const auto bitmap =
                tourpack::decodeBitmapResource(module.data() + found->offset, found->size, error);
            ASSERT_TRUE(bitmap) << error;
            EXPECT_EQ(bitmap->width, 3);
            EXPECT_EQ(bitmap->height, 2);
            EXPECT_EQ(bitmap->stride, 12);
            const Bytes expected = {255, 0,   0,   0, 0, 255, 255, 0,   255, 0, 0, 0,
                                    255, 255, 255, 0, 0, 0,   0,   255, 0,   0, 0, 0};
            EXPECT_EQ(bitmap->pixels, expected) << bits << " bits, top-down " << topDown;
        }
    }
}

TEST(ModuleResources, AnotherIdOrKindIsNotFound) {
    const Bytes module = moduleWith(tourpack::bitmapResourceType, 311, bitmapResource(24));
    std::string error;
    EXPECT_FALSE(tourpack::findModuleResource(module, tourpack::bitmapResourceType, 312, error));
    EXPECT_NE(error.find("312"), std::string::npos) << error;
    EXPECT_FALSE(tourpack::findModuleResource(module, 6, 311, error));
}

TEST(ModuleResources, DamagedModulesGiveNothing) {
    const Bytes module = moduleWith(tourpack::bitmapResourceType, 311, bitmapResource(8));
    std::string error;
    // Every cut: the reader never reads past the bytes it has (ASan watches).
    for (std::size_t cut = 0; cut < module.size(); ++cut) {
        const Bytes shorter(module.begin(), module.begin() + static_cast<std::ptrdiff_t>(cut));
        const auto found =
            tourpack::findModuleResource(shorter, tourpack::bitmapResourceType, 311, error);
        if (found) {
            EXPECT_LE(found->offset + found->size, shorter.size());
            tourpack::decodeBitmapResource(shorter.data() + found->offset, found->size, error);
        }
    }
    // Offsets and sizes that point far away.
    const std::pair<std::size_t, std::uint32_t> damages[] = {
        {0x3C, 0xFFFFFFF0u},              // the PE header
        {peAt + 6, 0xFFFF},               // section count
        {optionalAt + 108, 2},            // too few directories
        {sectionAt + 20, 0x7FFFFFF0u},    // the section's bytes
        {resourcesAt + 20, 0x80FFFFF0u},  // a subdirectory
        {resourcesAt + 24 + 20, 72},      // a data entry where a directory belongs
        {resourcesAt + 48 + 14, 0},       // no language
        {dataEntryAt, 0xFFFFFFF0u},       // the data's address
        {dataEntryAt + 4, 0x7FFFFFFFu},   // the data's size
    };
    for (const auto& [at, value] : damages) {
        Bytes damaged = module;
        if (at == peAt + 6 || at == resourcesAt + 48 + 14) {
            put16(damaged, at, value);
        } else {
            put32(damaged, at, value);
        }
        EXPECT_FALSE(
            tourpack::findModuleResource(damaged, tourpack::bitmapResourceType, 311, error))
            << "damage at " << at;
        EXPECT_FALSE(error.empty());
    }
}

TEST(ModuleResources, BitmapsItCannotShowAreRefused) {
    const auto refused = [](const std::function<void(Bytes&)>& change) {
        Bytes bitmap = bitmapResource(24);
        change(bitmap);
        std::string error;
        return !tourpack::decodeBitmapResource(bitmap.data(), bitmap.size(), error) &&
               !error.empty();
    };
    EXPECT_TRUE(refused([](Bytes& b) { put32(b, 16, 1); }));  // run-length compressed
    EXPECT_TRUE(refused([](Bytes& b) { put16(b, 14, 16); }));
    EXPECT_TRUE(refused([](Bytes& b) { put32(b, 4, 0); }));
    EXPECT_TRUE(refused([](Bytes& b) { put32(b, 8, 100000); }));
    EXPECT_TRUE(refused([](Bytes& b) { put32(b, 4, 300); }));  // pixels cut off
    EXPECT_TRUE(refused([](Bytes& b) { b.resize(30); }));
    EXPECT_FALSE(refused([](Bytes&) {}));
}

}  // namespace

// Named types are found without regard to case, as the platform finds them;
// string tables are read slot by slot, an empty slot counting as missing.
TEST(ModuleResources, LanguageModuleCheckNamesWhatIsMissing) {
    EXPECT_TRUE(tourpack::missingLanguageResources(test_support::standInLanguageModule()).empty());
    const Bytes lacking = test_support::standInLanguageModule(
        {IDD_TOUR_INFO, IDP_ITEM_CHECKED, IDS_CAPTION, lang::lastRequiredString});
    const std::vector<std::string> expected = {
        "dialog IDD_TOUR_INFO (139)", "picture IDP_ITEM_CHECKED (159)",
        "string " + std::to_string(IDS_CAPTION),
        "string " + std::to_string(lang::lastRequiredString)};
    EXPECT_EQ(tourpack::missingLanguageResources(lacking), expected);
    EXPECT_TRUE(tourpack::moduleHoldsString(lacking, IDS_CAPTION + 1));

    std::string error;
    EXPECT_TRUE(tourpack::findModuleResource(lacking, lang::pictureType, IDP_LOGO, error));
    EXPECT_FALSE(
        tourpack::findModuleResource(lacking, lang::ResourceType{0, "gi"}, IDP_LOGO, error));
    EXPECT_NE(error.find("\"gi\""), std::string::npos) << error;
    // Not a module at all: everything is missing, nothing is read outside it.
    EXPECT_EQ(tourpack::missingLanguageResources(Bytes(40, 'M')).size(),
              std::size(lang::requiredResources) + lang::lastRequiredString -
                  lang::firstRequiredString + 1);
}

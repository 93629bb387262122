// Files past MAX_PATH through the Win32 file layer, and the manifests that
// let the system lift the limit. Wine enforces no limit, so these check that
// the extended-length forms the layer hands over reach the same files; what
// the forms are is checked natively (extended_paths_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "lang_ids.h"
#include "platform/files.h"
#include "platform/scoped_handle.h"
#include "scratch_files.h"

namespace {

namespace fs = std::filesystem;

// The manifest an executable carries (resource 1 of type 24), as text.
std::string manifestOf(const char* executable) {
    const platform::UniqueModule module(
        LoadLibraryExW(platform::systemPath(executable).c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) {
        return {};
    }
    const HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    const HGLOBAL loaded = found != nullptr ? LoadResource(module.get(), found) : nullptr;
    if (loaded == nullptr) {
        return {};
    }
    return std::string(static_cast<const char*>(LockResource(loaded)),
                       SizeofResource(module.get(), found));
}

TEST(LongPaths, BothExecutablesDeclareThemselvesLongPathAware) {
    constexpr const char* longPathAware =
        "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true"
        "</longPathAware>";
    for (const char* executable : {PLAYER_EXE, TOURPACK_EXE}) {
        SCOPED_TRACE(executable);
        const std::string manifest = manifestOf(executable);
        ASSERT_FALSE(manifest.empty()) << "no manifest";
        EXPECT_NE(manifest.find(longPathAware), std::string::npos) << manifest;
        EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    }
    EXPECT_NE(manifestOf(PLAYER_EXE).find("<dpiAware"), std::string::npos)
        << "the player stays DPI-aware";
}

class DeepFolder : public ::testing::Test {
  protected:
    DeepFolder() {
        std::string path = platform::textPath(folder_.path());
        for (int k = 0; path.size() < 300; ++k) {
            path += "\\photos of the harbour " + std::to_string(k);
        }
        deep_ = path;
        fs::create_directories(platform::nativePath(deep_.c_str()));  // Wine has no limit
    }

    test_support::TempFolder folder_;
    std::string deep_;  // UTF-8, as the player holds paths
};

TEST_F(DeepFolder, TheFileLayerReadsWritesMapsAndDeletesThere) {
    const std::string file = deep_ + "\\scene.bin";
    ASSERT_GT(file.size(), static_cast<std::size_t>(MAX_PATH));
    EXPECT_EQ(platform::systemPath(file.c_str()).wstring().rfind(L"\\\\?\\", 0), 0u);
    const std::uint8_t bytes[] = {'C', 'A', 'F', 'E'};
    ASSERT_TRUE(
        platform::writeFile(file.c_str(), bytes, sizeof bytes, platform::WriteMode::replace));
    EXPECT_EQ(platform::fileSize(file.c_str()), 4);
    {
        const auto stream = platform::openForReading(file.c_str());
        std::string read(4, '\0');
        EXPECT_TRUE(stream->read(read.data(), 4));
        EXPECT_EQ(read, "CAFE");
    }
    {
        const platform::MappedFile mapped(file.c_str());
        ASSERT_TRUE(mapped.opened());
        ASSERT_EQ(mapped.size(), 4u);
        EXPECT_EQ(std::memcmp(mapped.data(), bytes, 4), 0);
    }
    platform::deleteFile(file.c_str());
    EXPECT_EQ(platform::fileSize(file.c_str()), -1);
}

TEST_F(DeepFolder, ALanguageModuleLoadsFromThere) {
    const std::string module = deep_ + "\\en.dll";
    fs::copy_file(LANGUAGE_DLL, platform::nativePath(module.c_str()));
    const platform::UniqueModule loaded(LoadLibraryW(platform::systemPath(module.c_str()).c_str()));
    ASSERT_TRUE(loaded) << GetLastError();
    wchar_t text[64] = {};
    EXPECT_GT(LoadStringW(loaded.get(), IDS_CAPTION, text, 64), 0) << "its strings are there";
}

}  // namespace

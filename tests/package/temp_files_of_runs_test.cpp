// The Win32 file layer's temporary files across runs: a run holds what it
// made until it deletes it, so that a later run's clean-up removes only what
// ended runs left.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "tour_source.h"

namespace {

namespace fs = std::filesystem;

class TempFilesOfRuns : public ::testing::Test {
  protected:
    TempFilesOfRuns() {
        // Outside the ANSI code page, as a Cyrillic or Chinese profile name is.
        temp_ = folder_.path() / fs::path(L"\u0412\u0440\u0435\u043c\u044f \u6642\u9593");
        fs::create_directories(temp_);
        GetEnvironmentVariableW(L"TMP", savedTmp_, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", (temp_.wstring() + L"\\").c_str());
    }
    ~TempFilesOfRuns() override {
        platform::deleteFilesOfThisRun();
        SetEnvironmentVariableW(L"TMP", savedTmp_[0] != L'\0' ? savedTmp_ : nullptr);
    }

    // A file as an ended run leaves it: no one holds it.
    fs::path leftByEndedRun(const std::wstring& name) {
        const fs::path path = temp_ / name;
        std::ofstream(path) << "sound";
        return path;
    }

    test_support::TempFolder folder_;
    fs::path temp_;
    wchar_t savedTmp_[MAX_PATH] = {};
};

TEST_F(TempFilesOfRuns, AMadeFileLiesInTheTemporaryFolderAndIsWritableAndReadable) {
    const std::string path = platform::makeTempFile("QRX");
    ASSERT_FALSE(path.empty());
    const fs::path file = platform::nativePath(path.c_str());
    EXPECT_EQ(file.parent_path(), temp_);
    const std::wstring name = file.filename().wstring();
    EXPECT_EQ(name.substr(0, 3), L"QRX");
    EXPECT_EQ(name.substr(name.size() - 4), L".tmp");
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
    EXPECT_TRUE(
        platform::writeFile(path.c_str(), bytes, sizeof bytes, platform::WriteMode::intoExisting));
    EXPECT_EQ(platform::fileSize(path.c_str()), 5);
    EXPECT_TRUE(platform::writeFile(path.c_str(), bytes, 2, platform::WriteMode::replace));
    EXPECT_EQ(platform::fileSize(path.c_str()), 2);
    platform::deleteFile(path.c_str());
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(TempFilesOfRuns, TheCleanUpRemovesWhatEndedRunsLeftAndNothingElse) {
    const fs::path ended1 = leftByEndedRun(L"QRZ1a2b.tmp");
    const fs::path ended2 = leftByEndedRun(L"QRZF.tmp");
    const fs::path endedSound = leftByEndedRun(L"QRX77.tmp");
    const fs::path notOurs1 = leftByEndedRun(L"QRZnotes.tmp");
    const fs::path notOurs2 = leftByEndedRun(L"QRZ12345.tmp");
    const fs::path notOurs3 = leftByEndedRun(L"ABC1.tmp");
    const std::string live = platform::makeTempFile("QRZ");
    const std::string liveSound = platform::makeTempFile("QRX");

    EXPECT_EQ(platform::removeFilesOfEndedRuns("QRZ"), 2);
    EXPECT_EQ(platform::removeFilesOfEndedRuns("QRX"), 1);
    for (const fs::path& gone : {ended1, ended2, endedSound}) {
        EXPECT_FALSE(fs::exists(gone)) << gone;
    }
    for (const fs::path& kept : {notOurs1, notOurs2, notOurs3}) {
        EXPECT_TRUE(fs::exists(kept)) << kept;
    }
    // A running player's files are held: its own clean-up cannot take them.
    EXPECT_TRUE(fs::exists(platform::nativePath(live.c_str())));
    EXPECT_TRUE(fs::exists(platform::nativePath(liveSound.c_str())));
}

TEST_F(TempFilesOfRuns, AFileDeletedByItsOwnerIsLetGoAndTheRestGoAtTheEnd) {
    const std::string first = platform::makeTempFile("QRZ");
    const std::string second = platform::makeTempFile("QRZ");
    const std::string sound = platform::makeTempFile("QRX");
    ASSERT_NE(first, second);
    platform::deleteFile(first.c_str());
    EXPECT_FALSE(fs::exists(platform::nativePath(first.c_str())));
    platform::deleteFilesOfThisRun();
    EXPECT_TRUE(fs::is_empty(temp_));
}

}  // namespace

// The configuration list that Quorin_LoadConfigFileA and W fill, read back from the camera object.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "camera/quorin_camera.h"
#include "tests/support/scratch.h"

namespace {

using Pairs = std::vector<std::pair<int32_t, int32_t>>;

const std::vector<uint8_t> kSentinelBytes = {7, 0, 0, 0, 8, 0, 0, 0};
const Pairs kSentinel = {{7, 8}};

class ConfigFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(*file_.Path(), '\0');
        ASSERT_NE(*sentinel_.Path(), '\0');
        ASSERT_TRUE(sentinel_.Write(kSentinelBytes));
        ASSERT_EQ(camera_.LoadConfigFile(sentinel_.Path()), 1);
        ASSERT_EQ(camera_.ConfigList(), kSentinel);
    }
    CQuorin camera_;
    qtest::ScratchFile file_{"cfg"}, sentinel_{"cfg"};
};

}  // namespace

TEST_F(ConfigFile, PairsOfLittleEndianWordsFromWholeRecords) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        Pairs expected;
    };
    const Case cases[] = {
        {"two records and 4 spare bytes",
         {1, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0, 9, 9, 9, 9},
         {{1, 2}, {-1, 4}}},
        {"byte order and sign", {0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0x80}, {{0x12345678, INT32_MIN}}},
        {"three records in file order",
         {3, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1},
         {{3, 256}, {2, 65536}, {1, 1 << 24}}},
        {"less than one record", {1, 2, 3, 4, 5, 6, 7}, {}},
        {"empty file", {}, {}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(camera_.LoadConfigFile(sentinel_.Path()), 1);
        ASSERT_TRUE(file_.Write(c.bytes)) << c.what;
        EXPECT_EQ(camera_.LoadConfigFile(file_.Path()), 1) << c.what;
        EXPECT_EQ(camera_.ConfigList(), c.expected) << c.what;
    }
    EXPECT_EQ(camera_.PopError(), 0);
}

TEST_F(ConfigFile, TheWideFormReadsTheSameFile) {
    ASSERT_TRUE(file_.Write({5, 0, 0, 0, 6, 0, 0, 0}));
    wchar_t wide[MAX_PATH];
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, file_.Path(), -1, wide, MAX_PATH), 0);
    EXPECT_EQ(camera_.LoadConfigFileW(wide), 1);
    EXPECT_EQ(camera_.ConfigList(), (Pairs{{5, 6}}));
}

TEST_F(ConfigFile, AFileThatCannotBeReadKeepsThePreviousListAndReportsNothing) {
    qtest::ScratchFile missing("cfg");
    DeleteFileA(missing.Path());
    EXPECT_EQ(camera_.LoadConfigFile(missing.Path()), 0);
    EXPECT_EQ(camera_.LoadConfigFile(nullptr), 0);
    // Held open without sharing by another client.
    ASSERT_TRUE(file_.Write({1, 0, 0, 0, 2, 0, 0, 0}));
    HANDLE held = CreateFileA(file_.Path(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(camera_.LoadConfigFile(file_.Path()), 0);
    CloseHandle(held);
    EXPECT_EQ(camera_.ConfigList(), kSentinel);
    EXPECT_EQ(camera_.PopError(), 0);
}

TEST_F(ConfigFile, AFileOfFourGibibytesOrMoreIsRefusedNotReadCutShort) {
    // 4 GiB + 16 bytes of zeros would read as 16 bytes, two pairs of zeros, through a 32-bit size.
    // A sparse file takes no disk space.
    HANDLE f = CreateFileA(file_.Path(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = (int64_t(1) << 32) + 16;
    const bool grown = SetFilePointerEx(f, end, nullptr, FILE_BEGIN) && SetEndOfFile(f);
    CloseHandle(f);
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!grown || !GetFileAttributesExA(file_.Path(), GetFileExInfoStandard, &info) || info.nFileSizeHigh != 1)
        GTEST_SKIP() << "the file system cannot hold a sparse file of 4 GiB";
    EXPECT_EQ(camera_.LoadConfigFile(file_.Path()), 0);
    EXPECT_EQ(camera_.ConfigList(), kSentinel);
    EXPECT_EQ(camera_.PopError(), 0);
}

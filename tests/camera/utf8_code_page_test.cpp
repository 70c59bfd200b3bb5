// A process whose ANSI code page is UTF-8 (by its manifest): the wide forms must still convert
// paths, ASCII or not, and load the file they name.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "camera/quorin_camera.h"
#include "camera/wide_path.h"

namespace {

// A file made through the wide API under a name of the test's choosing, deleted at the end.
class WideNamedFile {
public:
    explicit WideNamedFile(const wchar_t* name) {
        wchar_t dir[MAX_PATH];
        if (GetTempPathW(MAX_PATH, dir)) path_ = std::wstring(dir) + name;
    }
    ~WideNamedFile() { DeleteFileW(path_.c_str()); }
    const wchar_t* Path() const { return path_.c_str(); }
    bool Write(const std::vector<uint8_t>& bytes) const {
        HANDLE f = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(f);
        return ok && written == bytes.size();
    }

private:
    std::wstring path_;
};

class Utf8CodePage : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetACP() != CP_UTF8) GTEST_SKIP() << "the activeCodePage manifest setting was not honoured";
    }
};

}  // namespace

TEST_F(Utf8CodePage, TheThreadCodePageIsUtf8) { EXPECT_EQ(ThreadAnsiCodePage(), unsigned(CP_UTF8)); }

TEST_F(Utf8CodePage, WidePathsLoadTheFilesTheyName) {
    struct Named {
        const wchar_t* name;
        int32_t first;
    };
    const Named names[] = {{L"quorin-cfg-ascii.bin", 11}, {L"quorin-cfg-\u00e9\u65e5\u672c.bin", 22}};
    for (const Named& n : names) {
        WideNamedFile file(n.name);
        ASSERT_TRUE(file.Write({uint8_t(n.first), 0, 0, 0, 2, 0, 0, 0}));
        CQuorin camera;
        EXPECT_EQ(camera.LoadConfigFileW(file.Path()), 1);
        EXPECT_EQ(camera.ConfigList(), (std::vector<std::pair<int32_t, int32_t>>{{n.first, 2}}));
        EXPECT_EQ(camera.PopError(), 0);
    }
}

TEST_F(Utf8CodePage, APathWithoutUtf8FormReportsTwelve) {
    CQuorin camera;
    EXPECT_EQ(camera.LoadConfigFileW(L"C:\\quorin-\xd800.bin"), 0);
    EXPECT_EQ(camera.PopError(), 12);
}

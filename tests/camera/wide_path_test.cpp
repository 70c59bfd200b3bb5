// Wide paths to ANSI bytes in the code pages an application's thread may run with, including the
// UTF forms that refuse the no-best-fit and used-default flags.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "camera/wide_path.h"

namespace {

struct Conversion {
    unsigned codePage;
    const wchar_t* text;
    const char* bytes;  // the expected result, or null when the conversion must fail
};

const Conversion kConversions[] = {
    {1252, L"C:\\cfg\\camera-1.bin", "C:\\cfg\\camera-1.bin"},
    {1252, L"C:\\caf\u00e9.bin", "C:\\caf\xe9.bin"},
    {1252, L"C:\\a\u2215b.bin", nullptr},  // DIVISION SLASH must not become '/'
    {1252, L"C:\\\u65e5.bin", nullptr},    // no form at all
    {932, L"C:\\\u65e5\u672c.bin", "C:\\\x93\xfa\x96\x7b.bin"},
    {CP_UTF8, L"C:\\cfg\\camera-1.bin", "C:\\cfg\\camera-1.bin"},
    {CP_UTF8, L"C:\\caf\u00e9\u65e5.bin", "C:\\caf\xc3\xa9\xe6\x97\xa5.bin"},
    {CP_UTF8, L"C:\\a\xd800z.bin", nullptr},  // an unpaired surrogate has no UTF-8 form
    {CP_UTF7, L"cfg-camera.bin", "cfg-camera.bin"},
    {CP_UTF7, L"caf\u00e9", "caf+AOk-"},
};

}  // namespace

TEST(WidePath, ConvertsExactlyOrFailsPerCodePage) {
    for (const Conversion& c : kConversions) {
        char out[kAnsiPathBytes];
        std::memset(out, 'x', sizeof out);
        const bool ok = WideToAnsi(c.codePage, c.text, out, sizeof out);
        EXPECT_EQ(ok, c.bytes != nullptr) << c.codePage << " " << testing::PrintToString(std::wstring(c.text));
        EXPECT_STREQ(out, c.bytes ? c.bytes : "") << c.codePage;
    }
}

TEST(WidePath, AsciiPathsConvertInEveryCodePage) {
    const wchar_t path[] = L"C:\\Program Files\\cfg\\~camera_1+2 (copy).bin";
    for (unsigned codePage : {1252u, 932u, 936u, 1251u, 437u, unsigned(CP_UTF8), unsigned(CP_UTF7)}) {
        char out[kAnsiPathBytes];
        ASSERT_TRUE(WideToAnsi(codePage, path, out, sizeof out)) << codePage;
        wchar_t back[kAnsiPathBytes];
        ASSERT_GT(MultiByteToWideChar(codePage, 0, out, -1, back, kAnsiPathBytes), 0) << codePage;
        EXPECT_STREQ(back, path) << codePage;
    }
}

TEST(WidePath, ResultsMustFitTheBuffer) {
    const std::wstring fits(1023, L'a'), tooLong(1024, L'a');
    // In UTF-8 every e-acute takes two bytes.
    const std::wstring wideInUtf8(512, L'\u00e9');
    char out[kAnsiPathBytes];
    EXPECT_TRUE(WideToAnsi(1252, fits.c_str(), out, sizeof out));
    EXPECT_FALSE(WideToAnsi(1252, tooLong.c_str(), out, sizeof out));
    EXPECT_EQ(out[0], '\0');
    EXPECT_TRUE(WideToAnsi(1252, wideInUtf8.c_str(), out, sizeof out));
    EXPECT_FALSE(WideToAnsi(CP_UTF8, wideInUtf8.c_str(), out, sizeof out));
    EXPECT_FALSE(WideToAnsi(1252, nullptr, out, sizeof out));
}

TEST(WidePath, TheThreadCodePageIsTheProcessOneByDefault) {
    EXPECT_EQ(ThreadAnsiCodePage(), GetACP());
}

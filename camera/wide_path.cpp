#include "camera/wide_path.h"

#include <windows.h>

#include <climits>
#include <cwchar>
#include <vector>

namespace {

// Code pages whose conversion refuses WC_NO_BEST_FIT_CHARS and the used-default flag: the UTF
// forms, GB18030, the ISO-2022 and ISCII families and Symbol.
bool RefusesBestFitControl(UINT codePage) {
    switch (codePage) {
        case 42: case 50220: case 50221: case 50222: case 50225: case 50227: case 50229:
        case 54936: case CP_UTF7: case CP_UTF8:
            return true;
        default:
            return codePage >= 57002 && codePage <= 57011;
    }
}

bool Fail(char* out) {
    out[0] = '\0';
    return false;
}

// Whether the bytes read back as exactly the text: without the used-default flag this is how a
// character that was replaced or best-fitted shows.
bool ReadsBackAs(UINT codePage, const char* bytes, const wchar_t* text) {
    const int n = MultiByteToWideChar(codePage, 0, bytes, -1, nullptr, 0);
    if (n <= 0) return false;
    std::vector<wchar_t> back(static_cast<size_t>(n));
    if (MultiByteToWideChar(codePage, 0, bytes, -1, back.data(), n) != n) return false;
    return std::wcscmp(back.data(), text) == 0;
}

}  // namespace

unsigned ThreadAnsiCodePage() {
    CPINFOEXW info;
    if (GetCPInfoExW(CP_THREAD_ACP, 0, &info) && info.CodePage != 0) return info.CodePage;
    return CP_THREAD_ACP;
}

bool WideToAnsi(unsigned codePage, const wchar_t* text, char* out, size_t outSize) {
    if (!out || outSize == 0) return false;
    out[0] = '\0';
    if (!text || outSize > INT_MAX) return false;
    const int size = static_cast<int>(outSize);
    if (!RefusesBestFitControl(codePage)) {
        // Unmappable characters become the default character and set usedDefault: a failure.
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, -1, out, size, nullptr, &usedDefault);
        if (n > 0) return usedDefault ? Fail(out) : true;
        const DWORD error = GetLastError();
        // A code page we do not know to refuse the flags: convert plainly and check below.
        if (error != ERROR_INVALID_FLAGS && error != ERROR_INVALID_PARAMETER) return Fail(out);
    }
    // UTF-8 refuses unpaired surrogates itself; every other loss shows in the read-back.
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
    const int n = WideCharToMultiByte(codePage, flags, text, -1, out, size, nullptr, nullptr);
    if (n <= 0 || !ReadsBackAs(codePage, out, text)) return Fail(out);
    return true;
}

bool WideToAnsi(const wchar_t* text, char* out, size_t outSize) {
    return WideToAnsi(ThreadAnsiCodePage(), text, out, outSize);
}

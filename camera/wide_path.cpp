#include "camera/wide_path.h"

#include <windows.h>

#include <climits>

bool WideToAnsi(const wchar_t* text, char* out, size_t outSize) {
    if (!out || outSize == 0) return false;
    out[0] = '\0';
    if (!text || outSize > INT_MAX) return false;
    BOOL usedDefault = FALSE;
    // CP_THREAD_ACP with WC_NO_BEST_FIT_CHARS: unmappable characters become the default character
    // and set usedDefault, which counts as failure. Code pages where the flags are not allowed
    // (UTF-8, UTF-7) fail the call and so fail the conversion.
    const int n = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text, -1, out,
                                      static_cast<int>(outSize), nullptr, &usedDefault);
    if (n <= 0 || usedDefault) {
        out[0] = '\0';
        return false;
    }
    return true;
}

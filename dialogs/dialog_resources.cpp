#include "dialogs/dialog_resources.h"

#include <commctrl.h>
#include <uxtheme.h>

namespace quorin {

namespace {

const LANGID kJapanese = 1041;

BOOL CALLBACK RegisterControlClasses(PINIT_ONCE, PVOID, PVOID*) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                     ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return TRUE;
}

}  // namespace

HINSTANCE DialogModule() {
    // The module this function lives in: the templates are linked into the same binary. Found by
    // address rather than by file name, so a renamed DLL still finds its own templates.
    HMODULE module = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&DialogModule), &module))
        return module;
    return GetModuleHandleA("VazadoZir_O52RO_VIZ.dll");
}

bool UseJapaneseDialogs() { return GetSystemDefaultLangID() == kJapanese; }

void InitDialogControls() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, RegisterControlClasses, nullptr, nullptr);
}

INT_PTR LabelBackground(HDC dc, HWND control) {
    char className[16] = {};
    GetClassNameA(control, className, sizeof(className));
    if (lstrcmpiA(className, "Static") != 0 && lstrcmpiA(className, "Button") != 0) return FALSE;
    // Under a visual style the dialog's default answer is the tab body's texture.
    if (IsAppThemed() && IsThemeDialogTextureEnabled(GetParent(control))) return FALSE;
    // A real brush, never a hollow one: a group box fills the band behind its caption with it
    // before the text (else its frame line runs through the caption), and a label whose text
    // changes is erased with it (else the old text shows under the new one).
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

std::string ToAnsi(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string ansi(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &ansi[0], bytes, nullptr, nullptr);
    ansi.resize(static_cast<size_t>(bytes) - 1);
    return ansi;
}

}  // namespace quorin

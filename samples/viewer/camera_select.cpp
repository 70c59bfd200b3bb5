// The camera selection dialog. It is built in memory (no resource script needed): a list box with
// one line per attached camera, OK and Cancel. Double-clicking a line is the same as OK.
#include "camera_select.h"

#include "VazadoZir_O52RO_VIZ.h"
#include "viewer_commands.h"

namespace {

// Builds a DLGTEMPLATE and its items word by word, keeping the DWORD alignment the format needs.
class DialogTemplate {
public:
    DialogTemplate(const char* caption, short width, short height) {
        Dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        Dword(0);            // extended style
        countAt_ = words_.size();
        words_.push_back(0);  // item count, filled in by Add
        Short(0), Short(0), Short(width), Short(height);
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard dialog class
        Text(caption);
        words_.push_back(8);  // font size, then its name
        Text("MS Shell Dlg");
    }

    // `classAtom`: 0x0080 button, 0x0083 list box.
    void Add(WORD classAtom, DWORD style, short x, short y, short cx, short cy, WORD id, const char* text) {
        if (words_.size() % 2) words_.push_back(0);  // each item starts on a DWORD
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Short(x), Short(y), Short(cx), Short(cy);
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(classAtom);
        Text(text);
        words_.push_back(0);  // no creation data
        ++words_[countAt_];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Dword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void Short(short value) { words_.push_back(static_cast<WORD>(value)); }
    void Text(const char* text) {  // ASCII captions: each byte is its UTF-16 unit
        while (*text) words_.push_back(static_cast<unsigned char>(*text++));
        words_.push_back(0);
    }

    std::vector<WORD> words_;  // vector storage is aligned for DWORDs at index 0
    size_t countAt_ = 0;
};

struct SelectionState {
    const std::vector<AttachedCamera>* cameras;
    int current;
};

INT_PTR CALLBACK SelectProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const SelectionState* state = reinterpret_cast<const SelectionState*>(lParam);
        HWND list = GetDlgItem(dialog, IDC_CAMERA_LIST);
        for (size_t i = 0; i < state->cameras->size(); ++i) {
            const AttachedCamera& camera = (*state->cameras)[i];
            char line[300];
            wsprintfA(line, "%s  (device %d)", camera.name.c_str(), camera.index);
            const LRESULT row = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
            SendMessageA(list, LB_SETITEMDATA, row, camera.index);
            if (camera.index == state->current) SendMessageA(list, LB_SETCURSEL, row, 0);
        }
        if (SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR) SendMessageA(list, LB_SETCURSEL, 0, 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || (LOWORD(wParam) == IDC_CAMERA_LIST && HIWORD(wParam) == LBN_DBLCLK)) {
            HWND list = GetDlgItem(dialog, IDC_CAMERA_LIST);
            const LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
            EndDialog(dialog, row == LB_ERR ? -1 : SendMessageA(list, LB_GETITEMDATA, row, 0));
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, -1);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

std::vector<AttachedCamera> ListAttachedCameras(int handle, HWND notifyWindow) {
    std::vector<AttachedCamera> cameras;
    // Enumeration probes every device path once; the names then come index by index, so that
    // the list knows which device index each camera has.
    static char names[32 * 256];
    if (Quorin_EnumDevice(handle, names) <= 0) return cameras;
    for (int index = 0; index < 32; ++index) {
        char name[256];
        if (Quorin_GetDeviceName(handle, index, name, sizeof name)) cameras.push_back({index, name});
    }
    // The "not present" codes of the empty slots, in the history and as posted notices.
    while (Quorin_GetLastError(handle) != 0) {}
    MSG notice;
    while (notifyWindow && PeekMessageA(&notice, notifyWindow, QUORIN_WM_ERROR, QUORIN_WM_ERROR, PM_REMOVE)) {}
    return cameras;
}

int SelectCamera(HWND owner, const std::vector<AttachedCamera>& cameras, int current) {
    DialogTemplate dialog(VIEWER_SELECT_CAPTION, 200, 96);
    dialog.Add(0x0083, WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY, 7, 7, 186, 62, IDC_CAMERA_LIST, "");
    dialog.Add(0x0080, WS_TABSTOP | BS_DEFPUSHBUTTON, 89, 75, 50, 14, IDOK, "OK");
    dialog.Add(0x0080, WS_TABSTOP | BS_PUSHBUTTON, 143, 75, 50, 14, IDCANCEL, "Cancel");
    SelectionState state = {&cameras, current};
    const INT_PTR chosen = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog.Get(), owner, SelectProc,
                                                   reinterpret_cast<LPARAM>(&state));
    return chosen < 0 ? -1 : static_cast<int>(chosen);
}

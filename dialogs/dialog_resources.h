// Where the property dialogs come from: the library's own module (its templates), the language of
// the templates, the common controls they use, and the texts set from code in that language.
#pragma once

#include <windows.h>

#include <string>

namespace quorin {

// The module that holds this code and its dialog templates (the SDK DLL, or the program it is
// linked into).
HINSTANCE DialogModule();

// True when the system's default language is Japanese (1041): the Japanese templates and texts are
// used then, whatever the user interface language; the English ones otherwise.
bool UseJapaneseDialogs();

// The template of the system's language.
inline int DialogTemplate(int japaneseId, int englishId) {
    return UseJapaneseDialogs() ? japaneseId : englishId;
}

// The text of the system's language.
inline const wchar_t* DialogText(const wchar_t* english, const wchar_t* japanese) {
    return UseJapaneseDialogs() ? japanese : english;
}

// Registers the tab, trackbar, up-down and combo box classes; once per process, any thread.
void InitDialogControls();

// The answer to WM_CTLCOLORSTATIC of a frame or page over the tab control: labels, check boxes,
// radio buttons and group boxes are drawn on the button face with its brush (under a visual style,
// on the tab body's texture that the dialog's default handling gives); other controls that ask
// (read-only or disabled edit boxes) get the default (FALSE).
INT_PTR LabelBackground(HDC dc, HWND control);

// A UTF-16 text in the ANSI code page, for the ANSI messages the dialogs send.
std::string ToAnsi(const wchar_t* text);

}  // namespace quorin

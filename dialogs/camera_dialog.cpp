#include "dialogs/camera_dialog.h"


#include <climits>
#include <cwchar>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_resources.h"
#include "settings/settings_keys.h"

namespace {

const int kColourModes = 6;
const int kClockLines = 2;  // normal and half; the third mode has no line
const int kSizeEdits[6] = {IDC_CAMERA_H_TOTAL,     IDC_CAMERA_V_TOTAL, IDC_CAMERA_H_EFFECTIVE,
                           IDC_CAMERA_V_EFFECTIVE, IDC_CAMERA_H_START, IDC_CAMERA_V_START};

int32_t* SizeField(quorin::SizeEntry* entry, int i) {
    int32_t* fields[6] = {&entry->hTotal, &entry->vTotal, &entry->width,
                          &entry->height, &entry->hStart, &entry->vStart};
    return fields[i];
}

void AddLine(HWND list, const wchar_t* text) { SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }

}  // namespace

CCameraDialog::CCameraDialog(int cameraNumber)
    : CPropertyDialog(IDD_CAMERA_FRAME_JA, IDD_CAMERA_FRAME_EN), cameraNumber_(cameraNumber) {
    record_.sizeIndex = 0;
    record_.format = quorin::kFirstRunFormat;  // colour 2, sub-sampling 0, wait 1, clock 2
    AddTab(L"Stream Format", L"ストリーム形式");
}

void CCameraDialog::LoadRecord() {
    quorin::LoadCameraFormatRecord(cameraNumber_, &record_);
    if (record_.sizes.size() > static_cast<size_t>(quorin::kMaxSizeEntries))
        record_.sizes.resize(quorin::kMaxSizeEntries);
    // The list holds one line per entry and then "Custom"; a stored index beyond them (or
    // negative) names nothing: the "Custom" line stands in for it, or the first entry when the
    // table is full and nothing can be added.
    const int32_t count = static_cast<int32_t>(record_.sizes.size());
    if (record_.sizeIndex < 0 || record_.sizeIndex > count)
        record_.sizeIndex = count < quorin::kMaxSizeEntries ? count : 0;
    if (record_.sizeIndex == count && count >= quorin::kMaxSizeEntries) record_.sizeIndex = 0;
}

void CCameraDialog::OnInitDialog() {
    initialising_ = true;
    LoadRecord();
    FillLists();
    ShowSizeEntry(record_.sizeIndex);
    SetDlgItemInt(Window(), IDC_CAMERA_WAIT_TIME, static_cast<UINT>(record_.format.waitTime), TRUE);
    EnableWindow(GetDlgItem(Window(), IDC_FRAME_APPLY), FALSE);
    for (int edit : kSizeEdits) EnableWindow(GetDlgItem(Window(), edit), FALSE);
    EnableWindow(GetDlgItem(Window(), IDC_CAMERA_SIZE), FALSE);
    EnableWindow(GetDlgItem(Window(), IDC_CAMERA_SUBSAMPLE), FALSE);
    initialising_ = false;
}

void CCameraDialog::FillLists() {
    HWND window = Window();
    HWND colour = GetDlgItem(window, IDC_CAMERA_COLOUR);
    wchar_t tenBit[64];
    std::swprintf(tenBit, 64, quorin::DialogText(L"Monochrome %dbit *", L"白黒 %dbit ※"), 10);
    const wchar_t* colourLines[kColourModes] = {
        quorin::DialogText(L"Monochrome 8bit", L"白黒 8bit"),   tenBit,
        quorin::DialogText(L"Color 24bit", L"カラー 24bit"),     quorin::DialogText(L"Color 32bit", L"カラー 32bit"),
        quorin::DialogText(L"Color 48bit *", L"カラー 48bit ※"), quorin::DialogText(L"Color 64bit *", L"カラー 64bit ※")};
    for (const wchar_t* line : colourLines) AddLine(colour, line);
    // A stored mode outside the list selects no line.
    SendMessageW(colour, CB_SETCURSEL, static_cast<WPARAM>(record_.format.colourType), 0);

    // One sub-sampling line, "1/1" (value 0), whatever value is stored.
    HWND subSample = GetDlgItem(window, IDC_CAMERA_SUBSAMPLE);
    AddLine(subSample, L"1/1");
    SendMessageW(subSample, CB_SETITEMDATA, 0, 0);
    SendMessageW(subSample, CB_SETCURSEL, 0, 0);

    HWND clock = GetDlgItem(window, IDC_CAMERA_CLOCK);
    AddLine(clock, quorin::DialogText(L"Nomal(24MHz)", L"標準(24MHz)"));
    AddLine(clock, quorin::DialogText(L"Half(12MHz)", L"ハーフ(12MHz)"));
    const int32_t clockMode = record_.format.clockMode;
    SendMessageW(clock, CB_SETCURSEL, clockMode >= 0 && clockMode < kClockLines ? clockMode : -1, 0);

    HWND size = GetDlgItem(window, IDC_CAMERA_SIZE);
    for (size_t i = 0; i < record_.sizes.size(); ++i) SetSizeLine(static_cast<int>(i), true);
    AddLine(size, quorin::DialogText(L"Custom", L"カスタム"));
    SendMessageW(size, CB_SETCURSEL, static_cast<WPARAM>(record_.sizeIndex), 0);
}

void CCameraDialog::SetSizeLine(int index, bool insert) {
    HWND size = GetDlgItem(Window(), IDC_CAMERA_SIZE);
    const quorin::SizeEntry& entry = record_.sizes[static_cast<size_t>(index)];
    wchar_t line[64];
    std::swprintf(line, 64, L"%d x %d", entry.width, entry.height);
    if (!insert) SendMessageW(size, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageW(size, CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(line));
}

void CCameraDialog::ShowSizeEntry(int index) {
    quorin::SizeEntry entry = quorin::kFullSensorSize;
    if (index >= 0 && static_cast<size_t>(index) < record_.sizes.size()) entry = record_.sizes[static_cast<size_t>(index)];
    for (int i = 0; i < 6; ++i) SetDlgItemInt(Window(), kSizeEdits[i], static_cast<UINT>(*SizeField(&entry, i)), TRUE);
}

int CCameraDialog::SelectedLine(int list) const {
    return static_cast<int>(SendMessageW(GetDlgItem(Window(), list), CB_GETCURSEL, 0, 0));
}

void CCameraDialog::ReadSizeEdits(quorin::SizeEntry* entry) const {
    for (int i = 0; i < 6; ++i) {
        BOOL number = FALSE;
        const int value = static_cast<int>(GetDlgItemInt(Window(), kSizeEdits[i], &number, TRUE));
        if (number) *SizeField(entry, i) = value;
    }
}

bool CCameraDialog::OnCommand(int id, int code, HWND control) {
    if (code == CBN_SELCHANGE) {
        if (id == IDC_CAMERA_SIZE) {
            const int line = SelectedLine(IDC_CAMERA_SIZE);
            if (line >= 0 && static_cast<size_t>(line) < record_.sizes.size()) ShowSizeEntry(line);
        }
        EnableWindow(GetDlgItem(Window(), IDC_FRAME_APPLY), TRUE);
        return true;
    }
    if (code == EN_CHANGE) {
        if (!initialising_) EnableWindow(GetDlgItem(Window(), IDC_FRAME_APPLY), TRUE);
        return true;
    }
    return false;
}

void CCameraDialog::ApplyAndSave() {
    // A list without a selected line keeps the value held: storing -1 would give the device a
    // clock it cannot use, or a colour mode or size entry that does not exist.
    const int colour = SelectedLine(IDC_CAMERA_COLOUR);
    if (colour >= 0) record_.format.colourType = colour;
    const int subSample = SelectedLine(IDC_CAMERA_SUBSAMPLE);
    if (subSample >= 0)
        record_.format.subSample = static_cast<int32_t>(
            SendMessageW(GetDlgItem(Window(), IDC_CAMERA_SUBSAMPLE), CB_GETITEMDATA, static_cast<WPARAM>(subSample), 0));
    const int clock = SelectedLine(IDC_CAMERA_CLOCK);
    if (clock >= 0) record_.format.clockMode = clock;
    // The wait time is a count of milliseconds: text that is no number, or a negative one, keeps
    // the value held.
    BOOL number = FALSE;
    const UINT wait = GetDlgItemInt(Window(), IDC_CAMERA_WAIT_TIME, &number, FALSE);
    if (number && wait <= static_cast<UINT>(INT_MAX)) record_.format.waitTime = static_cast<int32_t>(wait);

    const int count = static_cast<int>(record_.sizes.size());
    const int size = SelectedLine(IDC_CAMERA_SIZE);
    if (size >= 0 && size < count) {
        ReadSizeEdits(&record_.sizes[static_cast<size_t>(size)]);
        SetSizeLine(size, false);
        SendMessageW(GetDlgItem(Window(), IDC_CAMERA_SIZE), CB_SETCURSEL, static_cast<WPARAM>(size), 0);
        record_.sizeIndex = size;
    } else if (size == count && count < quorin::kMaxSizeEntries) {
        // "Custom": a new entry from the edit boxes, its line before "Custom". A full table takes
        // no more entries and keeps the selection it had.
        quorin::SizeEntry entry = quorin::kFullSensorSize;
        ReadSizeEdits(&entry);
        record_.sizes.push_back(entry);
        SetSizeLine(count, true);
        SendMessageW(GetDlgItem(Window(), IDC_CAMERA_SIZE), CB_SETCURSEL, static_cast<WPARAM>(count), 0);
        record_.sizeIndex = count;
    }
    EnableWindow(GetDlgItem(Window(), IDC_FRAME_APPLY), FALSE);
    quorin::SaveCameraFormatRecord(cameraNumber_, record_);
}

void CCameraDialog::OnApply() { ApplyAndSave(); }

void CCameraDialog::OnOk() {
    ApplyAndSave();
    End(IDOK);
}

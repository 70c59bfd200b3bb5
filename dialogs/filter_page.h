// What the filter dialog's image and gray pages share: the record, the four Bayer Mode buttons (on
// both pages) and value triples that store into the record as their slider moves.
#pragma once

#include "dialogs/dialog_page.h"
#include "settings/filter_settings.h"

class CFilterPage : public CDialogPage {
public:
    CFilterPage(int japaneseTemplate, int englishTemplate, const wchar_t* englishCaption,
                const wchar_t* japaneseCaption, quorin::FilterSettings& record);

    // The other page showing the Bayer Mode buttons, kept in step with this one (or none).
    void SetPartner(CFilterPage* partner) { partner_ = partner; }
    // Checks the Bayer Mode button of the record's BayerMode.
    void ShowBayerMode();

protected:
    // A value triple of the record: the slider's range and page size, enabled or not.
    void AddValue(int slider, int edit, int upDown, int32_t minimum, int32_t maximum, int32_t pageSize,
                  std::atomic<int32_t>& value, bool enabled);
    // Stores the mode of a clicked Bayer Mode button at once; false for any other control.
    bool OnBayerModeClicked(int id);
    // The mode of the checked Bayer Mode button, or -1 when none is checked.
    int CheckedBayerMode() const;

    quorin::FilterSettings& record_;

private:
    CFilterPage* partner_ = nullptr;
};

// The filter dialog's "Image Filter" page: the nine image filter values, automatic white balance
// and the Bayer Mode. Controls a gray camera cannot use are disabled by the enable flags.
#pragma once

#include "dialogs/filter_enable_flags.h"
#include "dialogs/filter_page.h"

class CImageFilterPage : public CFilterPage {
public:
    CImageFilterPage(quorin::FilterSettings& record, const FilterEnableFlags& flags);

protected:
    void OnInitPage() override;
    void OnReloadPage() override;
    // The Bayer Mode of the checked button (unchanged when none is checked).
    void OnApplyPage() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    // "All frames" from the record.
    void ShowAllFrames();

    FilterEnableFlags flags_;
};

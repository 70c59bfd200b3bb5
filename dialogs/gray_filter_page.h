// The filter dialog's "Gray Filter" page (gray cameras only): the four gray gains and offsets, the
// gray filter mode, automatic gray gain and the Bayer Mode.
#pragma once

#include "dialogs/filter_page.h"

class CGrayFilterPage : public CFilterPage {
public:
    explicit CGrayFilterPage(quorin::FilterSettings& record);

protected:
    void OnInitPage() override;
    void OnReloadPage() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    // "All frames" from the record.
    void ShowAllFrames();
};

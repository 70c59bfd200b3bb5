// The filter dialog: the "Image Filter" tab and, for gray cameras, the "Gray Filter" tab, over the
// camera's filter record. Values reach the record as the user moves a control, so the next frame
// shows them; the export that runs the dialog puts the record back unless it ends with OK.
#pragma once

#include "dialogs/dialog_window_slot.h"
#include "dialogs/filter_enable_flags.h"
#include "dialogs/gray_filter_page.h"
#include "dialogs/image_filter_page.h"
#include "dialogs/property_dialog.h"

class CFilterDialog : public CPropertyDialog {
public:
    // openWindows lists the camera's open filter dialogs: the pipeline posts kReloadPagesMessage
    // to each after an automatic white balance or gray-gain pass.
    CFilterDialog(quorin::FilterSettings& record, const FilterEnableFlags& flags, DialogWindowSlot& openWindows);

protected:
    void OnInitDialog() override;
    // Neutral filters, gains and gamma 100, Bayer mode 1; with the gray page gains 128 and offsets
    // 0. GrayMode and the automatic requests stay.
    void OnDefault() override;

private:
    quorin::FilterSettings& record_;
    bool hasGrayPage_;
    CImageFilterPage imagePage_;
    CGrayFilterPage grayPage_;
};

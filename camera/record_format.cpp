// How recordings store their frames: uncompressed 24-bit (the default) or Motion-JPEG at a quality.
// The choice is kept per camera with the settings groups and read by the next Record.
#include "camera/quorin_camera.h"

int CQuorin::SetRecordFormat(int format, int quality) {
    if (!RecordFormat::Valid(format, quality)) return ReportError(QUORIN_ERR_PARAMETER), 0;
    CriticalSectionLock hold(configLock_);
    recordFormat_.format = format;
    recordFormat_.quality = quality;
    return 1;
}

int CQuorin::GetRecordFormat(int* format, int* quality) {
    if (!format || !quality) return ReportError(QUORIN_ERR_PARAMETER), 0;
    CriticalSectionLock hold(configLock_);
    *format = recordFormat_.format;
    *quality = recordFormat_.quality;
    return 1;
}

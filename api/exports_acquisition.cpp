// Exports: acquisition, capture geometry, format, timing, recording and still files.
#include "api/export_dispatch.h"

extern "C" {

QUORIN_API int QUORIN_CALL Quorin_Preview(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.Preview(); });
}

QUORIN_API int QUORIN_CALL Quorin_StartPreview(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.StartPreview(); });
}

QUORIN_API int QUORIN_CALL Quorin_StopPreview(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.StopPreview(); });
}

QUORIN_API int QUORIN_CALL Quorin_CallBackPreview(int handle, HWND frameWindow, BYTE* buffer, int size, int topDown) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.CallBackPreview(frameWindow, buffer, size, topDown); });
}

QUORIN_API int QUORIN_CALL Quorin_Capture(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.Capture(); });
}

QUORIN_API int QUORIN_CALL Quorin_SnapShot(int handle, BYTE* buffer, int size, int topDown) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SnapShot(buffer, size, topDown); });
}

QUORIN_API int QUORIN_CALL Quorin_Trigger(int handle, HWND frameWindow, BYTE* buffer, int size, int topDown) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.Trigger(frameWindow, buffer, size, topDown); });
}

QUORIN_API int QUORIN_CALL Quorin_GetImage(int handle, BYTE* buffer, int size, int topDown) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetImage(buffer, size, topDown); });
}

QUORIN_API int QUORIN_CALL Quorin_Close(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.Close(); });
}

QUORIN_API int QUORIN_CALL Quorin_SetPreviewWindow(int handle, HWND parent, int left, int top, int right, int bottom) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetPreviewWindow(parent, left, top, right, bottom); });
}

QUORIN_API int QUORIN_CALL Quorin_SetCaptureWindow(int handle, int width, int height) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetCaptureWindow(width, height); });
}

QUORIN_API int QUORIN_CALL Quorin_SetCaptureWindowEx(int handle, int hTotal, int hStart, int hEffective, int vTotal,
                                                     int vStart, int vEffective) {
    return WithCamera(handle, 0, [&](CQuorin& c) {
        return c.SetCaptureWindowEx(hTotal, hStart, hEffective, vTotal, vStart, vEffective);
    });
}

QUORIN_API int QUORIN_CALL Quorin_GetCaptureWindowEx(int handle, int* hTotal, int* hStart, int* hEffective,
                                                     int* vTotal, int* vStart, int* vEffective) {
    return WithCamera(handle, 0, [&](CQuorin& c) {
        return c.GetCaptureWindowEx(hTotal, hStart, hEffective, vTotal, vStart, vEffective);
    });
}

QUORIN_API int QUORIN_CALL Quorin_Width(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.Width(); });
}

QUORIN_API int QUORIN_CALL Quorin_Height(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.Height(); });
}

QUORIN_API int QUORIN_CALL Quorin_SetColorMode(int handle, int bits) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetColorMode(bits); });
}

QUORIN_API int QUORIN_CALL Quorin_GetColorMode(int handle) {
    return WithCamera(handle, -1, [](CQuorin& c) { return c.GetColorMode(); });
}

QUORIN_API int QUORIN_CALL Quorin_SetSubSample(int handle, int mode) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetSubSample(mode); });
}

QUORIN_API int QUORIN_CALL Quorin_GetSubSample(int handle) {
    return WithCamera(handle, -1, [](CQuorin& c) { return c.GetSubSample(); });
}

QUORIN_API int QUORIN_CALL Quorin_SetWaitTime(int handle, int milliseconds) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetWaitTime(milliseconds); });
}

QUORIN_API int QUORIN_CALL Quorin_GetWaitTime(int handle) {
    return WithCamera(handle, -1, [](CQuorin& c) { return c.GetWaitTime(); });
}

QUORIN_API int QUORIN_CALL Quorin_SetHalfClock(int handle, int mode) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetHalfClock(mode); });
}

QUORIN_API int QUORIN_CALL Quorin_GetHalfClock(int handle, int* ok) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetHalfClock(ok); });
}

QUORIN_API int QUORIN_CALL Quorin_GetRealExposureTime(int handle, int* ok) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetRealExposureTime(ok); });
}

QUORIN_API int QUORIN_CALL Quorin_SetRealExposureTime(int handle, int microseconds) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetRealExposureTime(microseconds); });
}

QUORIN_API int QUORIN_CALL Quorin_Record(int handle, const char* path, int durationMs, int showWindow) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.Record(path, durationMs, showWindow); });
}

QUORIN_API int QUORIN_CALL Quorin_RecordW(int handle, const wchar_t* path, int durationMs, int showWindow) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.RecordW(path, durationMs, showWindow); });
}

QUORIN_API int QUORIN_CALL Quorin_SetRecordFormat(int handle, int format, int quality) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetRecordFormat(format, quality); });
}

QUORIN_API int QUORIN_CALL Quorin_GetRecordFormat(int handle, int* format, int* quality) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetRecordFormat(format, quality); });
}

QUORIN_API int QUORIN_CALL Quorin_SaveImage(int handle, const char* path, int fileType) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SaveImage(path, fileType); });
}

QUORIN_API int QUORIN_CALL Quorin_SaveImageW(int handle, const wchar_t* path, int fileType) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SaveImageW(path, fileType); });
}

}  // extern "C"

/*
 * VazadoZir_O52RO_VIZ.h - public interface of the M52DX-LTX camera SDK (VazadoZir_O52RO_VIZ.dll).
 *
 * Every export returns int. Unless stated, 1 (or the value asked for) means success and 0 failure;
 * Quorin_GetColorMode, Quorin_GetSubSample and Quorin_GetWaitTime fail with -1. Every export except
 * Quorin_Initialize and Quorin_GetDllVersion takes the handle returned by Quorin_Initialize first;
 * with a handle that is not registered it returns its failure value and reports nothing.
 *
 * Failures inside a registered camera are recorded in its error history (read newest first with
 * Quorin_GetLastError; 20 entries) and posted to the notify window given to Quorin_Initialize as
 * QUORIN_WM_ERROR (wParam 0, lParam = code). "notify-only" failures are posted but not recorded.
 * Messages are always posted, never sent. Exports may be called from any thread. Quorin_Release
 * forgets the handle at once; calls with it that are still running finish on the camera, and the
 * last of them destroys it.
 *
 * Optional "int* ok" parameters receive 1 or 0 and may be null. Functions ending in W take UTF-16
 * strings, converted to the thread's ANSI code page (at most 1023 bytes; characters without an exact
 * ANSI form make the conversion fail).
 */
#ifndef VAZADOZIR_O52RO_VIZ_H
#define VAZADOZIR_O52RO_VIZ_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QUORIN_BUILDING_SDK)
#define QUORIN_API __declspec(dllexport)
#elif defined(QUORIN_STATIC)
#define QUORIN_API
#else
#define QUORIN_API __declspec(dllimport)
#endif
#define QUORIN_CALL __stdcall

/* ---- Messages -------------------------------------------------------------------------------- */
/* To the notify window: wParam 0, lParam = error code. */
#define QUORIN_WM_ERROR 0x8003
/* To the frame window: wParam = address of the camera's QuorinFrameInfo and lParam 0 for a new
 * frame; wParam 0 and lParam 5, 8 or 13 when acquisition failed. */
#define QUORIN_WM_FRAME 0x8002

/* ---- Error codes (Quorin_GetLastError, QUORIN_WM_ERROR, QUORIN_WM_FRAME) ----------------------- */
#define QUORIN_ERR_NO_DEVICE        1  /* no device open, wrong acquisition state, nothing captured */
#define QUORIN_ERR_DEVICE_BUSY      2  /* device not present, cannot be opened, or used by another client */
#define QUORIN_ERR_THREAD           3  /* a worker thread or its event could not be created */
#define QUORIN_ERR_WINDOW           4  /* preview window/DC failed; no capture size entry matches */
#define QUORIN_ERR_MEMORY           5  /* out of memory, or a buffer too small or missing */
#define QUORIN_ERR_DEVICE_REFUSED   6  /* transfer did not start, or a register access failed */
#define QUORIN_ERR_CAPTURE_WINDOW   7  /* invalid capture window */
#define QUORIN_ERR_FRAME_READ       8  /* a frame could not be read, or live display failed to start */
#define QUORIN_ERR_PARAMETER        9  /* an argument is out of range or missing */
#define QUORIN_ERR_UNSUPPORTED     11  /* not supported by this camera model */
#define QUORIN_ERR_FILE            12  /* recording file, live start for recording, or wide name conversion */
#define QUORIN_ERR_DEVICE_LOST     13  /* the device stopped delivering frames */

/* ---- Filter value ids (Quorin_GetFilterValue / Quorin_SetFilterValue) -------------------------- */
enum QuorinFilterId {
    QUORIN_BRIGHTNESS = 1, QUORIN_CONTRAST = 2, QUORIN_HUE = 3, QUORIN_SATURATION = 4,
    QUORIN_SHARPNESS = 5, QUORIN_BAYER_GAIN_RGB = 6, QUORIN_BAYER_GAIN_RED = 7,
    QUORIN_BAYER_GAIN_GREEN = 8, QUORIN_BAYER_GAIN_BLUE = 9, QUORIN_BAYER_GAIN_AUTO = 10,
    QUORIN_GAMMA = 11, QUORIN_BAYER_MODE = 12, QUORIN_GLOBAL_GAIN = 13, QUORIN_COLOR_GAIN_RED = 14,
    QUORIN_COLOR_GAIN_GREEN1 = 15, QUORIN_COLOR_GAIN_GREEN2 = 16, QUORIN_COLOR_GAIN_BLUE = 17,
    QUORIN_EXPOSURE_TIME = 18, QUORIN_GRAY_MODE = 19, QUORIN_GRAY_GAIN_R = 20, QUORIN_GRAY_GAIN_G1 = 21,
    QUORIN_GRAY_GAIN_G2 = 22, QUORIN_GRAY_GAIN_B = 23, QUORIN_GRAY_OFFSET_R = 24,
    QUORIN_GRAY_OFFSET_G1 = 25, QUORIN_GRAY_OFFSET_G2 = 26, QUORIN_GRAY_OFFSET_B = 27,
    QUORIN_FILTER_ID_28 = 28
};

/* ---- Still file types (Quorin_SaveImage) ------------------------------------------------------- */
enum QuorinStillFileType {
    QUORIN_FILE_BMP = 0, QUORIN_FILE_RAW = 1, QUORIN_FILE_JPEG_100 = 2, QUORIN_FILE_JPEG_70 = 3,
    QUORIN_FILE_JPEG_20 = 4, QUORIN_FILE_PNG = 5, QUORIN_FILE_TIFF = 6
};

/* ---- Structures --------------------------------------------------------------------------------- */
/* Filled by Quorin_GetCameraInfo; set size (at least 36) before the call. */
typedef struct QuorinCameraInfo {
    int size;
    int sensorWidth;       /* 1360 */
    int sensorHeight;      /* 1024 */
    int minGlobalGain;     /* 0 */
    int maxGlobalGain;     /* 1023 */
    int reserved1;         /* 0 */
    int reserved2;         /* 0 */
    int minExposure;       /* exposure register value, 8 */
    int maxExposure;       /* 1074 */
} QuorinCameraInfo;

/* The camera's frame block; its address is the wParam of a frame notice. The block stays readable
 * while the library is loaded, also after Quorin_Release (a notice may be handled later), but its
 * contents are those of the newest frame: valid until the camera delivers the next one. */
typedef struct QuorinFrameInfo {
    int size;              /* 32 */
    int width;             /* raw frame width */
    int height;            /* raw frame height */
    int bitsPerPixel;      /* 8, 16, 24, 32, 48 or 64 */
    int fps10;             /* frame rate in tenths per second (live); 0 in trigger mode */
    unsigned int frameNumber; /* live: the camera's count of frames completed since the start (1 for
                              * the first), so a gap between two notices is the number of frames
                              * skipped; trigger mode: frames read since the start */
    BYTE* data;            /* the caller's buffer the frame was copied to, or NULL */
} QuorinFrameInfo;

#ifdef __cplusplus
#define QUORIN_STATIC_ASSERT(c, m) static_assert(c, #m)
#else
#define QUORIN_STATIC_ASSERT(c, m) typedef char quorin_static_assert_##m[(c) ? 1 : -1]
#endif
#if defined(_WIN64)
QUORIN_STATIC_ASSERT(sizeof(QuorinFrameInfo) == 32, frame_info_is_32_bytes);
#endif
QUORIN_STATIC_ASSERT(sizeof(QuorinCameraInfo) == 36, camera_info_is_36_bytes);

/* ---- Life cycle and handles --------------------------------------------------------------------- */
/* Opens a camera object and camera 0. Returns the handle (even when opening the device failed: its
 * code is then in the history), 0 only when no camera object could be made. */
QUORIN_API int QUORIN_CALL Quorin_Initialize(HWND notifyWindow);
/* Saves the settings, stops everything and destroys the camera (once calls still running on it
 * have returned). 0 for an unknown handle. */
QUORIN_API int QUORIN_CALL Quorin_Release(int handle);
/* 0x01AD051F; no handle. */
QUORIN_API int QUORIN_CALL Quorin_GetDllVersion(void);
/* Pops the newest error code; 0 when the history is empty. */
QUORIN_API int QUORIN_CALL Quorin_GetLastError(int handle);
/* Always 0. */
QUORIN_API int QUORIN_CALL Quorin_GetStatus(int handle, int reserved);

/* ---- Device selection and information ----------------------------------------------------------- */
/* Fills 256-byte entries "RuvadeR52EV-UZI_NN" (at least 10 entries); returns the count.
 * Errors: 1 no device, 9 null buffer. */
QUORIN_API int QUORIN_CALL Quorin_EnumDevice(int handle, char* names);
/* As above with 256-character UTF-16 entries. */
QUORIN_API int QUORIN_CALL Quorin_EnumDeviceW(int handle, wchar_t* names);
/* Name of device index (0..31); size in bytes (characters for W), at least 19.
 * Errors: 1 no device, 9 bad index/size/null buffer, 2 device not present. */
QUORIN_API int QUORIN_CALL Quorin_GetDeviceName(int handle, int index, char* name, int size);
QUORIN_API int QUORIN_CALL Quorin_GetDeviceNameW(int handle, int index, wchar_t* name, int size);
/* Selects device index 0..31. Errors: 1 no device or acquiring, 2 not present / cannot open. */
QUORIN_API int QUORIN_CALL Quorin_SetDeviceNumber(int handle, int index);
/* Errors: 1 no device, 9 null, 5 size below 36. */
QUORIN_API int QUORIN_CALL Quorin_GetCameraInfo(int handle, QuorinCameraInfo* info);
/* Reads pairs of little-endian 32-bit integers; 0 (nothing reported, the previous list kept) when
 * the file cannot be read or is 4 GiB or larger. */
QUORIN_API int QUORIN_CALL Quorin_LoadConfigFileA(int handle, const char* path);
/* Error 12 when the path cannot be converted. */
QUORIN_API int QUORIN_CALL Quorin_LoadConfigFileW(int handle, const wchar_t* path);

/* ---- Acquisition (errors 1, 2, 3, 5, 6, 7, 8 as described per function) ------------------------- */
QUORIN_API int QUORIN_CALL Quorin_Preview(int handle);
QUORIN_API int QUORIN_CALL Quorin_StartPreview(int handle);
QUORIN_API int QUORIN_CALL Quorin_StopPreview(int handle);
QUORIN_API int QUORIN_CALL Quorin_CallBackPreview(int handle, HWND frameWindow, BYTE* buffer, int size, int topDown);
QUORIN_API int QUORIN_CALL Quorin_Capture(int handle);
QUORIN_API int QUORIN_CALL Quorin_SnapShot(int handle, BYTE* buffer, int size, int topDown);
QUORIN_API int QUORIN_CALL Quorin_Trigger(int handle, HWND frameWindow, BYTE* buffer, int size, int topDown);
QUORIN_API int QUORIN_CALL Quorin_GetImage(int handle, BYTE* buffer, int size, int topDown);
/* Always 1. */
QUORIN_API int QUORIN_CALL Quorin_Close(int handle);
QUORIN_API int QUORIN_CALL Quorin_SetPreviewWindow(int handle, HWND parent, int left, int top, int right, int bottom);

/* ---- Capture geometry, format and timing --------------------------------------------------------- */
/* Errors: 1 no device, 4 no stored size entry matches, 7 invalid window. */
QUORIN_API int QUORIN_CALL Quorin_SetCaptureWindow(int handle, int width, int height);
/* Errors: 1 no device, 7 invalid window (the values stay stored). */
QUORIN_API int QUORIN_CALL Quorin_SetCaptureWindowEx(int handle, int hTotal, int hStart, int hEffective,
                                                     int vTotal, int vStart, int vEffective);
/* Copies the six stored values to every non-null pointer; always 1. */
QUORIN_API int QUORIN_CALL Quorin_GetCaptureWindowEx(int handle, int* hTotal, int* hStart, int* hEffective,
                                                     int* vTotal, int* vStart, int* vEffective);
QUORIN_API int QUORIN_CALL Quorin_Width(int handle);
QUORIN_API int QUORIN_CALL Quorin_Height(int handle);
/* 8, 16, 24, 32, 48 or 64; else error 9. */
QUORIN_API int QUORIN_CALL Quorin_SetColorMode(int handle, int bits);
/* 8, 10, 24, 32, 42 or 58; -1 on failure. */
QUORIN_API int QUORIN_CALL Quorin_GetColorMode(int handle);
/* Only 0 is accepted; other values return 0 without a report. */
QUORIN_API int QUORIN_CALL Quorin_SetSubSample(int handle, int mode);
QUORIN_API int QUORIN_CALL Quorin_GetSubSample(int handle);
/* Negative values return 0 without a report. */
QUORIN_API int QUORIN_CALL Quorin_SetWaitTime(int handle, int milliseconds);
QUORIN_API int QUORIN_CALL Quorin_GetWaitTime(int handle);
/* Stored for the next acquisition; always 1. */
QUORIN_API int QUORIN_CALL Quorin_SetHalfClock(int handle, int mode);
/* Clock mode read from the camera. Notify-only 1 on failure. */
QUORIN_API int QUORIN_CALL Quorin_GetHalfClock(int handle, int* ok);
/* Exposure in microseconds. Error 1 without a device. */
QUORIN_API int QUORIN_CALL Quorin_GetRealExposureTime(int handle, int* ok);
/* Errors: 1 no device, 9 outside the exposure range. */
QUORIN_API int QUORIN_CALL Quorin_SetRealExposureTime(int handle, int microseconds);

/* ---- Recording and still files ------------------------------------------------------------------- */
/* Records live frames for durationMs into an AVI file at the measured rate; a recording longer than
 * one file holds continues in name_001.avi, name_002.avi, ... Every way out (duration, StopPreview,
 * Close, Release, a lost device) leaves finished files. Errors: 9 null or empty path or negative
 * duration, 12 already recording (the running recording goes on), file or live start failed,
 * 3 no recorder thread, plus the acquisition errors; later, from the recorder, 5 when its work
 * images cannot be made and 12 when a frame or the file cannot be written. */
QUORIN_API int QUORIN_CALL Quorin_Record(int handle, const char* path, int durationMs, int showWindow);
QUORIN_API int QUORIN_CALL Quorin_RecordW(int handle, const wchar_t* path, int durationMs, int showWindow);
/* fileType: QuorinStillFileType. Errors: 1 no device / nothing captured, 9 null or empty path. */
QUORIN_API int QUORIN_CALL Quorin_SaveImage(int handle, const char* path, int fileType);
QUORIN_API int QUORIN_CALL Quorin_SaveImageW(int handle, const wchar_t* path, int fileType);

/* ---- Adjustable values (ids 1..28). Errors: 1 no device, 9 bad id or value. --------------------- */
QUORIN_API int QUORIN_CALL Quorin_GetFilterValue(int handle, int id, int* ok);
QUORIN_API int QUORIN_CALL Quorin_SetFilterValue(int handle, int id, int value);

#define QUORIN_DECLARE_FILTER_PAIR(Name) \
    QUORIN_API int QUORIN_CALL Quorin_Get##Name(int handle, int* ok); \
    QUORIN_API int QUORIN_CALL Quorin_Set##Name(int handle, int value);
QUORIN_DECLARE_FILTER_PAIR(Brightness)
QUORIN_DECLARE_FILTER_PAIR(Contrast)
QUORIN_DECLARE_FILTER_PAIR(Hue)
QUORIN_DECLARE_FILTER_PAIR(Saturation)
QUORIN_DECLARE_FILTER_PAIR(Sharpness)
QUORIN_DECLARE_FILTER_PAIR(BayerGainRGB)
QUORIN_DECLARE_FILTER_PAIR(BayerGainRed)
QUORIN_DECLARE_FILTER_PAIR(BayerGainGreen)
QUORIN_DECLARE_FILTER_PAIR(BayerGainBlue)
QUORIN_DECLARE_FILTER_PAIR(BayerGainAuto)
QUORIN_DECLARE_FILTER_PAIR(Gamma)
QUORIN_DECLARE_FILTER_PAIR(BayerMode)
QUORIN_DECLARE_FILTER_PAIR(GlobalGain)
QUORIN_DECLARE_FILTER_PAIR(ColorGainRed)
QUORIN_DECLARE_FILTER_PAIR(ColorGainGreen1)
QUORIN_DECLARE_FILTER_PAIR(ColorGainGreen2)
QUORIN_DECLARE_FILTER_PAIR(ColorGainBlue)
QUORIN_DECLARE_FILTER_PAIR(ExposureTime)
QUORIN_DECLARE_FILTER_PAIR(GrayMode)
QUORIN_DECLARE_FILTER_PAIR(GrayGainR)
QUORIN_DECLARE_FILTER_PAIR(GrayGainG1)
QUORIN_DECLARE_FILTER_PAIR(GrayGainG2)
QUORIN_DECLARE_FILTER_PAIR(GrayGainB)
QUORIN_DECLARE_FILTER_PAIR(GrayOffsetR)
QUORIN_DECLARE_FILTER_PAIR(GrayOffsetG1)
QUORIN_DECLARE_FILTER_PAIR(GrayOffsetG2)
QUORIN_DECLARE_FILTER_PAIR(GrayOffsetB)

/* ---- Sensor and device access --------------------------------------------------------------------- */
/* Errors: 1 no device, 6 device failure. */
QUORIN_API int QUORIN_CALL Quorin_ReadRegister(int handle, BYTE address, int* ok);
QUORIN_API int QUORIN_CALL Quorin_ReadRegisterEx(int handle, int address, int* ok);
QUORIN_API int QUORIN_CALL Quorin_WriteRegister(int handle, BYTE address, WORD value);
QUORIN_API int QUORIN_CALL Quorin_WriteRegisterEx(int handle, int address, int value);
/* Serial memory identifier bytes, index 0..255. Notify-only 1 on failure. */
QUORIN_API int QUORIN_CALL Quorin_ReadSromID(int handle, int address, int* ok);
QUORIN_API int QUORIN_CALL Quorin_WriteSromID(int handle, int address, int value);
/* Notify-only 1 without a device, 9 for a null pointer. */
QUORIN_API int QUORIN_CALL Quorin_GetIOPort(int handle, BYTE* value);
QUORIN_API int QUORIN_CALL Quorin_SetIOPort(int handle, int value);
/* H: error 1 without a device. V: notify-only 1. */
QUORIN_API int QUORIN_CALL Quorin_SetMirrorH(int handle, int on);
QUORIN_API int QUORIN_CALL Quorin_SetMirrorV(int handle, int on);
QUORIN_API int QUORIN_CALL Quorin_GetMirrorH(int handle);
QUORIN_API int QUORIN_CALL Quorin_GetMirrorV(int handle);
/* 0, 1 or 2; others notify-only 9. */
QUORIN_API int QUORIN_CALL Quorin_SetAutoIris(int handle, int mode);
QUORIN_API int QUORIN_CALL Quorin_GetAutoIris(int handle, int* ok);

/* ---- Property dialogs (error 1 without a device; 1 whatever the user chose) ----------------------- */
QUORIN_API int QUORIN_CALL Quorin_SetCameraDlg(int handle, HWND parent);
QUORIN_API int QUORIN_CALL Quorin_SetAnalogDlg(int handle, HWND parent);
QUORIN_API int QUORIN_CALL Quorin_SetImageDlg(int handle, HWND parent);

/* ---- Not supported by this camera model ------------------------------------------------------------ */
/* Notify-only 11, return 0; arguments after the handle are not read. */
QUORIN_API int QUORIN_CALL Quorin_Fpga_ReadRegister(int handle, int address, int* ok);
QUORIN_API int QUORIN_CALL Quorin_Fpga_WriteRegister(int handle, int address, int value);
QUORIN_API int QUORIN_CALL Quorin_Fps(int handle, int fps);
QUORIN_API int QUORIN_CALL Quorin_SetCrossbar(int handle, int input, int output);
QUORIN_API int QUORIN_CALL Quorin_SetSamplingRate(int handle, int rate);
/* Store 0 in *value (when not null), return 0, report nothing. */
QUORIN_API int QUORIN_CALL Quorin_GetSamplingRate(int handle, int* value);
QUORIN_API int QUORIN_CALL Quorin_GetVideoFormat(int handle, int* value);
/* Error 11 and -1 for a registered handle (0 for an unknown one). */
QUORIN_API int QUORIN_CALL Quorin_GetConfigFilter(int handle);
QUORIN_API int QUORIN_CALL Quorin_SetConfigFilter(int handle, int value);

#ifdef __cplusplus
}
#endif

#endif /* VAZADOZIR_O52RO_VIZ_H */

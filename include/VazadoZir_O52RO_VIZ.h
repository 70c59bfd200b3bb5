/*
 * VazadoZir_O52RO_VIZ.h - public interface of the M52DX-LTX camera SDK (VazadoZir_O52RO_VIZ.dll).
 * docs/api.md groups these exports by task, with examples.
 *
 * Return values. Every export returns int. Unless stated, 1 (or the value asked for) means success
 * and 0 failure; Quorin_GetColorMode, Quorin_GetSubSample and Quorin_GetWaitTime fail with -1. Every
 * export except Quorin_Initialize and Quorin_GetDllVersion takes the handle returned by
 * Quorin_Initialize first; with a handle that is not registered (never issued, or released) it
 * returns its failure value and reports nothing.
 *
 * Errors. Failures inside a registered camera are recorded in its error history (read newest first
 * with Quorin_GetLastError; the newest 20 are kept) and posted to the notify window given to
 * Quorin_Initialize as QUORIN_WM_ERROR (wParam 0, lParam = code); with a null notify window they are
 * only recorded. "Notify-only" failures are posted but not recorded. Where one failure leads to
 * another, both codes are recorded, the specific one first ("2, then 1": Quorin_GetLastError returns
 * 1, then 2). Running out of memory inside any export records 5. Each block below lists the codes
 * an export can record ("Errors") and what it posts besides them ("Posts").
 *
 * Threads. Exports may be called from any thread, and for different handles at once. Calls that
 * start, stop or change acquisition on one handle (Preview, StartPreview, CallBackPreview, Capture,
 * SnapShot, Trigger, Record, StopPreview, Close, SetDeviceNumber, the dialogs) should come from one
 * thread at a time. An export that opens the preview window makes it on the calling thread, which
 * must dispatch window messages while the window is open. Messages are always posted, never sent:
 * no export and no worker waits for the application's windows. Quorin_Release forgets the handle at
 * once; calls with it that are still running finish on the camera, and the last of them destroys
 * it.
 *
 * Strings. Optional "int* ok" parameters receive 1 or 0 and may be null. Functions ending in W take
 * UTF-16 strings, converted to the thread's ANSI code page (at most 1023 bytes; characters without
 * an exact ANSI form make the conversion fail).
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
/* To the notify window: wParam 0, lParam = error code. Posted for every recorded error (also from
 * the camera's worker threads) and for the notify-only ones. */
#define QUORIN_WM_ERROR 0x8003
/* To the frame window (given to Quorin_CallBackPreview or Quorin_Trigger): wParam = address of the
 * camera's QuorinFrameInfo and lParam 0 for a new frame; wParam 0 and lParam 5 (the caller's buffer
 * is too small), 8 (a frame could not be read) or 13 (the device stopped delivering frames) when
 * acquisition failed. Nothing is posted while no frame window is set. */
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
    QUORIN_FILTER_ID_28 = 28  /* one automatic gray-gain pass: 0 or 1; no named export */
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

/* A frame notice's block; its address is the wParam of the notice. Each notice of a camera gets its
 * own block from a rotation of 16: a block holds the fields of its one frame until 15 newer notices
 * of that camera have been posted, and is rewritten by the 16th. A frame window less than 16 notices
 * behind therefore reads each frame's own fields. Every address ever posted stays readable while
 * the library is loaded, also after Quorin_Release (a notice may be handled later). The pixels at
 * data are the caller's one buffer, rewritten for every frame. */
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

/* ==== Life cycle and handles ====================================================================== */

/* Quorin_Initialize: makes a camera object and its handle, then opens camera 0: the shared table
 * of cameras in use ("ZUDADA_USBCAMERA"), the device (the 32 device paths are probed, index 0 is
 * selected and its sensor started), the image buffers, and camera 0's stored settings (capture
 * size, filter, gray and gain values, colour mode, sub-sampling, wait time, clock; a first run
 * stores the defaults: full sensor, 24-bit colour, wait 1 ms, clock 2). Gain, exposure and
 * mirroring are sent to the camera. No camera needs to be attached: acquisition then fails with 2.
 *   notifyWindow: receives QUORIN_WM_ERROR; may be NULL (errors are then only recorded).
 *   Returns: the handle (never 0, distinct from the open ones), also when opening failed (the code
 *            is then in its history); 0 only when no camera object could be made.
 *   Errors:  5 the shared table or the device object could not be made (the camera then has no
 *            device: every export that needs one records 1; a missing shared table is recorded but
 *            not posted); 5 the image objects could not all be made (every acquisition call, from
 *            Quorin_Preview to Quorin_SaveImage, then fails with 5); 7 the stored capture window is invalid (the full sensor is
 *            used instead).
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_Initialize(HWND notifyWindow);

/* Quorin_Release: saves the camera's filter, gray and gain values under its device number, stops
 * acquisition and recording (the recording file is finished), closes the preview window, frees
 * the camera's entry in the shared table and destroys the camera once calls still running on it
 * have returned. The handle is unknown to every later call. Each open handle keeps the library
 * loaded: FreeLibrary without Quorin_Release leaves it and its cameras running (a recording ends
 * and is finished at its duration). A process that exits without Quorin_Release has its threads
 * ended by the system wherever they are: a recording then stops unfinished, readable up to its last
 * complete frame by readers that scan the file, but without its index. Release every handle, or
 * stop its acquisition, before the process exits. An entry of the shared table whose owning
 * process has ended counts as free. 
 *   Returns: 1; 0 for a handle that is not registered (a second release).
 *   Errors:  none (the history goes with the camera).
 *   Thread:  any. A preview window made on another thread is asked to close and is destroyed when
 *            that thread next dispatches its messages. */
QUORIN_API int QUORIN_CALL Quorin_Release(int handle);

/* Quorin_GetDllVersion: the library version, 0x01AD051F (28116255). No handle, no side effect.
 *   Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_GetDllVersion(void);

/* Quorin_GetLastError: removes and returns the newest code of the error history; repeated calls
 * drain it newest first. Notify-only failures are never in it.
 *   Returns: the code (1..13); 0 when the history is empty or the handle is not registered.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetLastError(int handle);

/* Quorin_GetStatus: kept for compatibility; reserved is not read.
 *   Returns: always 0.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_GetStatus(int handle, int reserved);

/* ==== Open and select: device selection and information =========================================== */

/* Quorin_EnumDevice: probes the 32 device paths afresh and writes one 256-byte entry per attached
 * camera, "RuvadeR52EV-UZI_NN", where NN counts the cameras found (01 for the first), not the
 * device index; the entries after the last, up to the tenth, are set empty. The selected camera
 * does not change.
 *   names:   max(10, cameras found) x 256 bytes (32 x 256 always suffice).
 *   Returns: the number of cameras found; 0 also on failure (see Quorin_GetLastError).
 *   Errors:  1 no device object; 9 names is NULL.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_EnumDevice(int handle, char* names);

/* Quorin_EnumDeviceW: Quorin_EnumDevice with 256-character UTF-16 entries; it does not probe again
 * but reports the cameras found by the last probe (Quorin_Initialize, Quorin_EnumDevice,
 * Quorin_SetDeviceNumber).
 *   Returns, Errors, Thread: as Quorin_EnumDevice. */
QUORIN_API int QUORIN_CALL Quorin_EnumDeviceW(int handle, wchar_t* names);

/* Quorin_GetDeviceName: writes the name of device index, "RuvadeR52EV-UZI_NN" with NN = index + 1
 * (this can differ from the Quorin_EnumDevice name of the same camera when a lower index is empty).
 *   index:   0..31.  size: of name in bytes (characters for the W form), at least 19.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device object; 9 index outside 0..31, size below 19 or name NULL; 2 no camera at
 *            index in the last probe (W form: also when the name cannot be converted).
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetDeviceName(int handle, int index, char* name, int size);
/* Quorin_GetDeviceNameW: the UTF-16 form of Quorin_GetDeviceName. */
QUORIN_API int QUORIN_CALL Quorin_GetDeviceNameW(int handle, int index, wchar_t* name, int size);

/* Quorin_SetDeviceNumber: saves the filter, gray and gain values of the selected camera, probes
 * again, selects and opens device index (its sensor is started with the full sensor window) and
 * loads and applies that camera's stored filter, gray and gain values. The capture size, colour
 * mode, sub-sampling, wait time and clock are not reloaded. Only while idle.
 *   index:   0..31.
 *   Returns: 1; 0 on failure (the previous selection's number stays in effect for the settings).
 *   Errors:  1 no device object, or acquisition is running; 2 index outside 0..31, no camera
 *            there, it cannot be opened, or another handle or process streams from it (its
 *            sensor is then left alone).
 *   Thread:  any (acquisition calls of one handle one at a time). */
QUORIN_API int QUORIN_CALL Quorin_SetDeviceNumber(int handle, int index);

/* Quorin_GetCameraInfo: fills the sensor's limits: 1360 x 1024 pixels, global gain 0..1023,
 * exposure register 8..1074.
 *   info:    set info->size to sizeof(QuorinCameraInfo) (at least 36) first.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device object; 9 info is NULL; 5 info->size below 36.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetCameraInfo(int handle, QuorinCameraInfo* info);

/* Quorin_LoadConfigFileA: reads the file as pairs of little-endian 32-bit integers (a trailing
 * partial pair is ignored) into the camera's configuration list, replacing the previous list.
 * This camera model keeps the list but does not act on it. No device needed.
 *   Returns: 1 (also for an empty file); 0 without a report when path is NULL or the file cannot
 *            be read or is 4 GiB or larger (the previous list is kept).
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_LoadConfigFileA(int handle, const char* path);
/* Quorin_LoadConfigFileW: the UTF-16 form.
 *   Errors:  12 path is NULL or cannot be converted; otherwise as Quorin_LoadConfigFileA. */
QUORIN_API int QUORIN_CALL Quorin_LoadConfigFileW(int handle, const wchar_t* path);

/* ==== Acquire and deliver frames ==================================================================
 * Acquisition modes: idle; live (Preview, StartPreview, CallBackPreview, Record); capture (Capture,
 * then SnapShot); trigger (Trigger). One mode at a time: a call for another mode records 1, a call
 * for the running mode succeeds without effect. StopPreview or Close return to idle; format and
 * size changes take effect at the next start. Starting prepares the camera ("the preparation"):
 * the camera must be present and not in use by another client (else 2), the capture window valid
 * (else 7), the buffers of the colour mode and the camera's frame buffers made (else 5); a start that fails there records that
 * code, then 1. Processed frames are images of the capture window's size in the colour mode of the
 * start; copied to a caller's buffer they take height x stride bytes, stride = width x bytes per
 * pixel rounded up to a multiple of 4, stored row 0 (the picture's top row) first when topDown is
 * non-zero, else last row first. */

/* Quorin_Preview: opens the preview window placed by Quorin_SetPreviewWindow (after
 * Quorin_Initialize: a top-level window centred on the screen, client area = capture window) and
 * starts live acquisition; every processed frame is painted into it. No frame window, no copies.
 * Already live: returns 1, keeps the window and stops the frame notices and copies of an earlier
 * Quorin_CallBackPreview.
 *   Returns: 1; 0 on failure.
 *   Errors:  4 the window could not be made; the start's codes (1, 2, 3, 5, 6, 7), then 8. Called in
 *            capture or trigger mode it fails with 1, then 8, and that mode is ended.
 *            While live: 8 a frame could not be read; 13 the device stopped delivering frames (no
 *            frame within 6 s, or the transfer failed): the worker ends. The next start
 *            (Quorin_Preview, Quorin_StartPreview, Quorin_CallBackPreview, Quorin_Record,
 *            Quorin_Trigger) stops that run and starts a new one when the camera is back, or fails
 *            with 13 (posted as (0, 13) to the frame window) while it is still gone.
 *   Thread:  the window is made on the calling thread, which must dispatch its messages. A window
 *            destroyed from outside (closed by the user, or its parent destroyed) is no longer
 *            painted and is left alone at Quorin_Close; acquisition goes on without display. */
QUORIN_API int QUORIN_CALL Quorin_Preview(int handle);

/* Quorin_StartPreview: starts live acquisition without opening a window (an open preview window
 * is painted). Frames go to the frame window and buffer last set, if any.
 *   Returns: 1, also when already live; 0 on failure. A run whose worker ended with 13 is not
 *            "already live": it is stopped and a new one started, or 13 when the camera is gone.
 *   Errors:  1 no device, capture or trigger mode, or after a failed preparation (2, 5, 7) or a
 *            lost race for the device (2); 6 the transfer did not start; 3 the worker thread could
 *            not be made; 5 alone when the camera's images could not be made at
 *            Quorin_Initialize (as for every acquisition call). While live: 8 and 13 as for
 *            Quorin_Preview.
 *   Posts:   to the frame window, as Quorin_CallBackPreview.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_StartPreview(int handle);

/* Quorin_StopPreview: ends live, capture or trigger acquisition (waits for the worker to finish its
 * frame), stops the transfer, frees the camera's entry in the shared table and ends a recording
 * (its file is finished). The preview window stays open, no longer painted.
 *   Returns: 1, also when idle; 0 with error 1 without a device.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_StopPreview(int handle);

/* Quorin_CallBackPreview: Quorin_Preview that also delivers every processed frame: it is copied
 * into buffer, then QUORIN_WM_FRAME (wParam = QuorinFrameInfo address, lParam 0) is posted to
 * frameWindow. Already live: the new window and buffer take effect from the next frame; returns 1.
 *   frameWindow: receives the notices; NULL for none.
 *   buffer, size: the frame copy (see above); NULL or 0 for notices only. The buffer is rewritten
 *            for every frame and must stay valid until acquisition stops or another buffer is given.
 *   topDown: non-zero for the top row first.
 *   Returns: 1; 0 on failure.
 *   Errors:  as Quorin_Preview; per frame also 5 when size is below the frame (the frame gets no
 *            notice).
 *   Posts:   QUORIN_WM_FRAME per frame; (0, 5) buffer too small, (0, 8) frame not read, (0, 13)
 *            device lost, each beside its recorded code.
 *   Thread:  as Quorin_Preview. */
QUORIN_API int QUORIN_CALL Quorin_CallBackPreview(int handle, HWND frameWindow, BYTE* buffer, int size, int topDown);

/* Quorin_Capture: prepares capture mode (buffers, sensor, the camera's read channel kept open) so
 * that Quorin_SnapShot calls need no preparation.
 *   Returns: 1, also when already in capture mode; 0 on failure.
 *   Errors:  1 no device, live or trigger mode, or after a failed preparation (2, 5, 7) or a lost
 *            race for the device (2).
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_Capture(int handle);

/* Quorin_SnapShot: reads one frame synchronously, processes it and, when buffer and size are both
 * non-zero, copies it into buffer. From idle every snapshot prepares the camera again; in capture
 * mode it does not. The mode does not change.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device, live or trigger mode, or after a failed preparation (2, 5, 7); 8 the frame
 *            could not be read; 5, then 5 again, when size is below the frame.
 *   Posts:   to the frame window last set, if any: (0, 8) when a frame read could not be unpacked,
 *            (0, 5) when the buffer is too small.
 *   Thread:  any; blocks until the frame is read, or at most about 5 s for a camera that does not
 *            answer (then 8). */
QUORIN_API int QUORIN_CALL Quorin_SnapShot(int handle, BYTE* buffer, int size, int topDown);

/* Quorin_Trigger: opens the preview window as Quorin_Preview does, prepares the camera, enables
 * its external trigger and starts the trigger worker: each triggered frame is processed, copied
 * into buffer, announced to frameWindow (QuorinFrameInfo.fps10 0, frameNumber = frames since the
 * start) and painted. A read that sees no trigger within 3 s is simply repeated; a camera that is
 * gone, or a read that gets no answer at all, ends the run with 13. A pulse whose frame fails or
 * comes back short is reported ((0, 8) and 8) and the worker waits for the next pulse. Already in
 * trigger mode: the new window and buffer take effect from the next frame; returns 1. A run that
 * ended with 13 is stopped and a new one started when the camera is back; while it is still gone
 * the call fails with 13 (and (0, 13) to frameWindow).
 *   Parameters: as Quorin_CallBackPreview.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device, live or capture mode, or after a failed preparation (2, 5, 7) or a lost
 *            race for the device (2); 4 the window could not be made; 3 the worker could not be
 *            made; 13 the earlier run ended with 13 and the camera is still gone. Per frame: 8 a
 *            pulse's frame failed or came back short, 5 as for Quorin_CallBackPreview; 13 when the
 *            camera is lost. A read that ends at the 3 s time-out without a pulse reports nothing.
 *   Posts:   QUORIN_WM_FRAME per frame; (0, 8) and (0, 5) on frame failures; (0, 13) when the
 *            camera is lost.
 *   Thread:  as Quorin_Preview. */
QUORIN_API int QUORIN_CALL Quorin_Trigger(int handle, HWND frameWindow, BYTE* buffer, int size, int topDown);

/* Quorin_GetImage: copies the latest processed image into buffer, under the frame lock. It does not
 * wait for a frame: before the first one the buffer receives what the image holds.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device, or no image for the colour mode; 5 no image made yet (no start since
 *            Quorin_Initialize) or buffer NULL; 5, then 5 again, when size is below the image.
 *   Posts:   (0, 5) to the frame window last set when size is too small.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetImage(int handle, BYTE* buffer, int size, int topDown);

/* Quorin_Close: Quorin_StopPreview, then destroys the preview window, forgets the processed frame
 * (Quorin_SaveImage records 1 until the next one) and closes the camera's read channel.
 *   Returns: always 1 (without a device it still records 1 from the stop).
 *   Thread:  any; see Quorin_Release for a window made on another thread. */
QUORIN_API int QUORIN_CALL Quorin_Close(int handle);

/* Quorin_SetPreviewWindow: where the next start (from idle) puts the preview window:
 *   parent non-NULL: a child window of parent (control id 6540) at (left, top), right x bottom
 *            pixels large: right and bottom are the width and height;
 *   parent NULL, any of the four non-zero: a top-level window centred on the screen whose client
 *            area is the capture window's size;
 *   parent NULL, all four 0: no window; frames are processed without display.
 * The frame is stretched to the window's client area. A window already open with the same placement
 * is kept.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device.
 *   Thread:  any; the window itself is made by the thread that starts acquisition. */
QUORIN_API int QUORIN_CALL Quorin_SetPreviewWindow(int handle, HWND parent, int left, int top, int right, int bottom);

/* ==== Set up: capture geometry, format and timing ================================================= */

/* Quorin_SetCaptureWindow: selects the first entry of the camera's stored size list (registry,
 * HKEY_CURRENT_USER\Software\Zudada\QuorinM52DXLTXSdk\Camera_NN\Size_MM, edited by the camera
 * dialog; entries directly under the product key are read when the camera key holds none) whose
 * effective width and height equal width and height, and takes its totals, start, size and buffer
 * count. Idle: the sensor window is programmed now; otherwise at the next start.
 *   Returns: 1 (also after falling back to the full sensor); 0 on failure.
 *   Errors:  1 no device; 4 no size list, or no entry matches; 7 the entry is invalid (the full
 *            sensor 1360 x 1024 at 0, 0 is used, returns 1) or the sensor refused the window; 5 the
 *            frame buffers of the window could not be allocated (starts then fail with 5).
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_SetCaptureWindow(int handle, int width, int height);

/* Quorin_SetCaptureWindowEx: stores the capture window: hStart, vStart its origin and hEffective,
 * vEffective its size on the sensor; hTotal, vTotal are stored and reported only. Valid when all
 * four are non-negative, hStart + hEffective <= 1360 and vStart + vEffective <= 1024 (and
 * sub-sampling is 0). Idle: the sensor window is programmed now; otherwise at the next start.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device; 7 the window is invalid (the values stay stored, so starts fail with 7
 *            until a valid window is set) or the sensor refused it; 5 its frame buffers could not be
 *            allocated.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_SetCaptureWindowEx(int handle, int hTotal, int hStart, int hEffective,
                                                     int vTotal, int vStart, int vEffective);

/* Quorin_GetCaptureWindowEx: copies the six stored values to every non-NULL pointer. No device
 * needed.
 *   Returns: 1.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_GetCaptureWindowEx(int handle, int* hTotal, int* hStart, int* hEffective,
                                                     int* vTotal, int* vStart, int* vEffective);

/* Quorin_Width, Quorin_Height: the stored capture window width and height (the size of the
 * processed frames from the next start). No device needed.
 *   Returns: the value; 0 for an unknown handle.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_Width(int handle);
QUORIN_API int QUORIN_CALL Quorin_Height(int handle);

/* Quorin_SetColorMode: the output format of the processed frames from the next start, in bits per
 * pixel: 8 (one 8-bit sample), 16 (one 16-bit sample holding 10 bits), 24 (blue, green, red),
 * 32 (blue, green, red, unused), 48 and 64 (the same with 16-bit samples holding 10 bits). No
 * device needed.
 *   Returns: 1; 0 on failure.
 *   Errors:  9 any other value.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_SetColorMode(int handle, int bits);

/* Quorin_GetColorMode: the stored colour mode as significant bits: 8, 10, 24, 32, 42 or 58 for
 * 8, 16, 24, 32, 48 and 64 bits per pixel.
 *   Returns: the value; -1 for an unknown handle or a stored mode outside these.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_GetColorMode(int handle);

/* Quorin_SetSubSample: sub-sampling; this camera model only takes 0 (none), which is stored.
 *   Returns: 1 for 0; 0 for any other value, without a report.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_SetSubSample(int handle, int mode);
/* Quorin_GetSubSample: the stored sub-sampling mode (a non-zero value loaded from the registry
 * makes every start fail with 7).
 *   Returns: the value; -1 for an unknown handle.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_GetSubSample(int handle);

/* Quorin_SetWaitTime: milliseconds the live loop sleeps before it waits for each frame; takes
 * effect at once. Larger values lower the processing load and the delivered frame rate.
 *   Returns: 1; 0 for a negative value, without a report.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_SetWaitTime(int handle, int milliseconds);
/* Quorin_GetWaitTime: the stored wait time.
 *   Returns: the value; -1 for an unknown handle.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_GetWaitTime(int handle);

/* Quorin_SetHalfClock: the sensor clock applied at the next start: 0 normal (24 MHz pixel clock),
 * 1 half (12 MHz: lines take twice as long), 2 the camera's third clock setting (the first-run
 * default); other values are stored but leave the clock as it is. Quorin_GetRealExposureTime and
 * Quorin_SetRealExposureTime use the 12 MHz period for 1, the 24 MHz one otherwise. No device
 * needed.
 *   Returns: always 1.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_SetHalfClock(int handle, int mode);

/* Quorin_GetHalfClock: the clock setting read from the camera (0, 1 or 2).
 *   Returns: the setting; 0 on failure (*ok 0).
 *   Errors:  notify-only 1: no device, or the read failed.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetHalfClock(int handle, int* ok);

/* Quorin_GetRealExposureTime: the exposure in microseconds computed from the exposure register E
 * (id 18) and the clock setting: ((1074 - E) lines x 1790 + 200) pixel clocks, truncated (E 1074
 * gives 8 us at 24 MHz).
 *   Returns: microseconds; 0 on failure (*ok 0).
 *   Errors:  1 no device.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetRealExposureTime(int handle, int* ok);

/* Quorin_SetRealExposureTime: sets the exposure register to 1074 - n, n the number of whole lines
 * (1790 pixel clocks each) in microseconds, and sends it to the camera. Accepted up to 1066 lines (about 79.5 ms at
 * 24 MHz, 159 ms at 12 MHz); reading back gives the time of the whole lines plus 200 clocks.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device; 9 negative, or more than 1066 lines.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_SetRealExposureTime(int handle, int microseconds);

/* ==== Files: recording and still images =========================================================== */

/* Quorin_Record: starts live acquisition (or joins the running one) and a recorder that appends the
 * newest processed frame every 10 ms to an AVI file at path, for durationMs from the first frame
 * taken: uncompressed 24-bit frames, or Motion-JPEG as Quorin_SetRecordFormat chose. The file's frame rate is the one measured over the recording. A recording
 * longer than one file holds (2 GiB) continues in name_001.avi, name_002.avi, ... Every way out
 * (duration, Quorin_StopPreview, Quorin_Close, Quorin_Release, a lost device) leaves finished files.
 * Live acquisition goes on after the duration until it is stopped. A recording delivers no frame
 * notices or copies: those of an earlier Quorin_CallBackPreview stop.
 *   path:    the file (ANSI). durationMs: 0 or more. showWindow: non-zero opens the preview window
 *            as Quorin_Preview does (from idle; when a placement is set); 0 records without one.
 *   Returns: 1 when recording runs; 0 on failure.
 *            The file is created first: when it cannot be, or the start fails, a live acquisition
 *            that ran before the call goes on unchanged (window, frame window, caller's buffer) and
 *            no file is left.
 *   Errors:  9 path NULL or empty, or durationMs negative; 12 already recording (the running
 *            recording goes on); 12 the file could not be created; 4 the window could not be made;
 *            the live start's codes (1, 2, 3, 5, 6, 7), then 12 (called in capture or trigger
 *            mode: 1, then 12, and that mode goes on); 13 the live run ended with 13 and the
 *            camera is still gone; 3 no recorder thread. Later, from the
 *            recorder: 5 its work images could not be made, 12 a frame or the file could not be
 *            written (the file is finished with the frames written so far).
 *   Thread:  as Quorin_Preview when showWindow is set; otherwise any. */
QUORIN_API int QUORIN_CALL Quorin_Record(int handle, const char* path, int durationMs, int showWindow);
/* Quorin_RecordW: the UTF-16 form.
 *   Errors:  12 path NULL or not convertible; otherwise as Quorin_Record. */
QUORIN_API int QUORIN_CALL Quorin_RecordW(int handle, const wchar_t* path, int durationMs, int showWindow);

/* Record formats (Quorin_SetRecordFormat). */
#define QUORIN_RECORD_UNCOMPRESSED 0 /* 24-bit frames, "DIB " stream: about 4 MB per full frame */
#define QUORIN_RECORD_MJPEG 1        /* one baseline JPEG image per frame, 'MJPG' stream */

/* Quorin_SetRecordFormat: how the next Quorin_Record stores its frames: format 0 uncompressed (the
 * default), 1 Motion-JPEG, each frame a JPEG image of the given quality (1..100, default 90; kept
 * but unused for format 0). Gray colour modes (8 and 16 bits) give gray JPEG images, the others
 * colour ones. A running recording keeps its format. The values are stored per device number with
 * the adjustable values (loaded at Quorin_Initialize and Quorin_SetDeviceNumber, saved at
 * Quorin_Release and Quorin_SetDeviceNumber). No device needed.
 *   Returns: 1; 0 on failure (nothing changes).
 *   Errors:  9 format not 0 or 1, or quality outside 1..100.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_SetRecordFormat(int handle, int format, int quality);
/* Quorin_GetRecordFormat: the format and quality the next recording uses.
 *   Returns: 1; 0 on failure.
 *   Errors:  9 format or quality NULL.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetRecordFormat(int handle, int* format, int* quality);

/* Quorin_SaveImage: writes the latest processed frame (in the colour mode of the start) to path as
 * fileType (QuorinStillFileType: BMP, raw pixel data, JPEG at quality 100, 70 or 20, PNG, TIFF);
 * 16-bit samples are taken as 10-bit values. Needs a frame processed since the last start. Holds
 * the frame lock while it writes, so the live loop waits for the file.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device, no frame processed yet (or since Quorin_Close), or no image for the colour
 *            mode; 9 path NULL or empty. A fileType outside 0..6, a pixel format the file type does
 *            not take, or a file that cannot be written return 0 without a report (no partial file
 *            is left).
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_SaveImage(int handle, const char* path, int fileType);
/* Quorin_SaveImageW: the UTF-16 form; it saves the image as it is, without requiring a processed
 * frame.
 *   Errors:  1 no device, no image made yet, or path not convertible; 9 path NULL or empty;
 *            otherwise as Quorin_SaveImage. */
QUORIN_API int QUORIN_CALL Quorin_SaveImageW(int handle, const wchar_t* path, int fileType);

/* ==== Set up: adjustable values ===================================================================
 * Filter, gray and gain values of the camera, stored per device number in the registry (loaded at
 * Quorin_Initialize and Quorin_SetDeviceNumber, saved at Quorin_Release and Quorin_SetDeviceNumber).
 * The image values act on the next processed frame; the global gain (13) and the exposure register
 * (18) are sent to the camera at once. */

/* Quorin_GetFilterValue: the value of id (QuorinFilterId, 1..28); for 13 and 18 the last value the
 * camera accepted, for 6 the three Bayer gains packed as below, for 14..17 always 0.
 *   Returns: the value; 0 on failure (*ok 0).
 *   Errors:  1 no device (before the id is looked at); 9 id outside 1..28.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetFilterValue(int handle, int id, int* ok);

/* Quorin_SetFilterValue: validates and stores the value of id; a rejected value changes nothing.
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device; 9 id outside 1..28 or value out of its range (table below).
 *   Thread:  any; values may change while frames are processed (they act from the frame being
 *            processed or the next one). */
QUORIN_API int QUORIN_CALL Quorin_SetFilterValue(int handle, int id, int value);

/* Named forms: Quorin_GetName(handle, int* ok) is Quorin_GetFilterValue with the id, and
 * Quorin_SetName(handle, int value) Quorin_SetFilterValue with it: the same returns, errors (1, 9)
 * and threads. Per pair: id, accepted values, default when nothing is stored. */
#define QUORIN_DECLARE_FILTER_PAIR(Name) \
    QUORIN_API int QUORIN_CALL Quorin_Get##Name(int handle, int* ok); \
    QUORIN_API int QUORIN_CALL Quorin_Set##Name(int handle, int value);
QUORIN_DECLARE_FILTER_PAIR(Brightness)      /*  1: -255..255, default 0 */
QUORIN_DECLARE_FILTER_PAIR(Contrast)        /*  2: -127..127, default 0 */
QUORIN_DECLARE_FILTER_PAIR(Hue)             /*  3: -360..360 degrees, default 0 */
QUORIN_DECLARE_FILTER_PAIR(Saturation)      /*  4: -255..255, default 0 */
QUORIN_DECLARE_FILTER_PAIR(Sharpness)       /*  5: 0..30, default 0 */
QUORIN_DECLARE_FILTER_PAIR(BayerGainRGB)    /*  6: red | green << 8 | blue << 16, each byte stored unchecked
                                             *     as ids 7..9, top byte ignored; get packs their low bytes */
QUORIN_DECLARE_FILTER_PAIR(BayerGainRed)    /*  7: white-balance gain 0..400 (100 = 1.0), default 100 */
QUORIN_DECLARE_FILTER_PAIR(BayerGainGreen)  /*  8: 0..400, default 100 */
QUORIN_DECLARE_FILTER_PAIR(BayerGainBlue)   /*  9: 0..400, default 100 */
QUORIN_DECLARE_FILTER_PAIR(BayerGainAuto)   /* 10: any; non-zero stores 1 (automatic white balance), default 0 */
QUORIN_DECLARE_FILTER_PAIR(Gamma)           /* 11: 0..200 (100 = linear), default 100 */
QUORIN_DECLARE_FILTER_PAIR(BayerMode)       /* 12: Bayer interpolation 0..3, default 1 */
QUORIN_DECLARE_FILTER_PAIR(GlobalGain)      /* 13: 0..1023, default 512; sent to the camera */
QUORIN_DECLARE_FILTER_PAIR(ColorGainRed)    /* 14: only 0 (colour gains follow the global gain); get 0 */
QUORIN_DECLARE_FILTER_PAIR(ColorGainGreen1) /* 15: only 0; get 0 */
QUORIN_DECLARE_FILTER_PAIR(ColorGainGreen2) /* 16: only 0; get 0 */
QUORIN_DECLARE_FILTER_PAIR(ColorGainBlue)   /* 17: only 0; get 0 */
QUORIN_DECLARE_FILTER_PAIR(ExposureTime)    /* 18: exposure register 8..1074 (1074 shortest), default 64;
                                             *     sent to the camera */
QUORIN_DECLARE_FILTER_PAIR(GrayMode)        /* 19: 0 Bayer, 1 Bayer convert, 2 grayscale, default 0 */
QUORIN_DECLARE_FILTER_PAIR(GrayGainR)       /* 20: 0..255, default 128 */
QUORIN_DECLARE_FILTER_PAIR(GrayGainG1)      /* 21: 0..255, default 128 */
QUORIN_DECLARE_FILTER_PAIR(GrayGainG2)      /* 22: 0..255, default 128 */
QUORIN_DECLARE_FILTER_PAIR(GrayGainB)       /* 23: 0..255, default 128 */
QUORIN_DECLARE_FILTER_PAIR(GrayOffsetR)     /* 24: -255..255, default 0 */
QUORIN_DECLARE_FILTER_PAIR(GrayOffsetG1)    /* 25: -255..255, default 0 */
QUORIN_DECLARE_FILTER_PAIR(GrayOffsetG2)    /* 26: -255..255, default 0 */
QUORIN_DECLARE_FILTER_PAIR(GrayOffsetB)     /* 27: -255..255, default 0 */

/* ==== Set up: sensor and device access ============================================================ */

/* Quorin_ReadRegister, Quorin_ReadRegisterEx: read one sensor register.
 *   address: 0..255 (the Ex form takes an int and uses its low 8 bits).
 *   Returns: the register value; 0 on failure (*ok 0).
 *   Errors:  1 no device; 6 the camera refused the access.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_ReadRegister(int handle, BYTE address, int* ok);
QUORIN_API int QUORIN_CALL Quorin_ReadRegisterEx(int handle, int address, int* ok);
/* Quorin_WriteRegister, Quorin_WriteRegisterEx: write one sensor register; the library's stored
 * settings do not follow.
 *   address: low 8 bits used. value: 16 bits (the Ex form passes the whole int).
 *   Returns: 1; 0 on failure.
 *   Errors:  1 no device; 6 the camera refused the access.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_WriteRegister(int handle, BYTE address, WORD value);
QUORIN_API int QUORIN_CALL Quorin_WriteRegisterEx(int handle, int address, int value);

/* Quorin_ReadSromID: one byte of the identifier area of the camera's serial memory.
 *   address: 0..255.
 *   Returns: the byte; 0 on failure (*ok 0).
 *   Errors:  notify-only 1: no device, address outside 0..255, or the read failed.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_ReadSromID(int handle, int address, int* ok);
/* Quorin_WriteSromID: writes the low 8 bits of value at address 0..255 of the identifier area.
 *   Returns: 1; 0 on failure.
 *   Errors:  notify-only 1: no device, address outside 0..255, or the write failed.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_WriteSromID(int handle, int address, int value);

/* Quorin_GetIOPort: reads the camera's user I/O port byte into *value (0 when the read failed).
 *   Returns: 1, also when the read failed; 0 on the failures below.
 *   Errors:  notify-only 1 no device; notify-only 9 value is NULL.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetIOPort(int handle, BYTE* value);
/* Quorin_SetIOPort: writes the low 8 bits of value to the camera's user I/O port.
 *   Returns: 1 when the camera took it; 0 otherwise (a device failure is not reported).
 *   Errors:  notify-only 1 no device.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_SetIOPort(int handle, int value);

/* Quorin_SetMirrorH, Quorin_SetMirrorV: mirror the processed frames left-right (H) or top-bottom (V)
 * from the next frame; any non-zero on is stored as 1. Saved with the camera's gain values.
 *   Returns: 1; 0 on failure.
 *   Errors:  H: 1 no device. V: notify-only 1 no device.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_SetMirrorH(int handle, int on);
QUORIN_API int QUORIN_CALL Quorin_SetMirrorV(int handle, int on);
/* Quorin_GetMirrorH, Quorin_GetMirrorV: the stored flag.
 *   Returns: 0 or 1; 0 on failure.
 *   Errors:  H: 1 no device. V: notify-only 1 no device.
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_GetMirrorH(int handle);
QUORIN_API int QUORIN_CALL Quorin_GetMirrorV(int handle);

/* Quorin_SetAutoIris: automatic exposure from the brightness of five sample windows of each
 * frame: 0 off, 1 adjusts the exposure register, 2 adjusts the global gain. No device needed.
 *   Returns: 1; 0 on failure.
 *   Errors:  notify-only 9 any other value (also negative ones).
 *   Thread:  any. */
QUORIN_API int QUORIN_CALL Quorin_SetAutoIris(int handle, int mode);
/* Quorin_GetAutoIris: the stored mode; *ok is set to 1. No device needed.
 *   Returns: 0, 1 or 2.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_GetAutoIris(int handle, int* ok);

/* ==== Dialogs ======================================================================================
 * Modal property dialogs owned by parent (may be NULL), in Japanese when the system's default
 * language is Japanese, else in English. Each runs its own message loop on the calling thread and
 * returns when the user closes it. Cancel restores the values the dialog found; OK and Apply keep
 * them (values are saved per camera in the registry). A dialog whose owner window is destroyed
 * while it is open ends as cancelled. Several threads may each open a dialog of one kind on one
 * camera; each restores its own values on Cancel. */

/* Quorin_SetCameraDlg: the camera format dialog: colour mode, capture size list, sub-sampling,
 * clock and wait time. Live or capture acquisition is stopped while it is open and started again
 * afterwards (trigger acquisition is paused), with the format reloaded after OK. Refused while a
 * recording (Quorin_Record) runs: the format cannot change under it.
 *   Returns: 1 whatever the user chose; 0 on failure (nothing stopped or changed).
 *   Errors:  1 no device, or a recording runs; 4 the dialog cannot be made (parent is not a window).
 *   Thread:  a thread that may own windows (normally parent's thread). */
QUORIN_API int QUORIN_CALL Quorin_SetCameraDlg(int handle, HWND parent);
/* Quorin_SetAnalogDlg: the analog dialog: global gain, exposure (with the real exposure time),
 * mirroring and automatic exposure.
 *   Returns: 1 whatever the user chose; 0 on failure.
 *   Errors:  1 no device; 4 the dialog cannot be made (parent is not a window).
 *   Thread:  as Quorin_SetCameraDlg. */
QUORIN_API int QUORIN_CALL Quorin_SetAnalogDlg(int handle, HWND parent);
/* Quorin_SetImageDlg: the filter dialog: an image page (brightness, contrast, hue, saturation,
 * sharpness, gamma, Bayer gains and white balance) and, when the camera delivers gray images, a
 * gray page (gray mode, gains, offsets and automatic gray gain). An automatic white balance or gray
 * gain run by the frames updates it.
 *   Returns, Errors, Thread: as Quorin_SetAnalogDlg. */
QUORIN_API int QUORIN_CALL Quorin_SetImageDlg(int handle, HWND parent);

/* ==== Not supported by this camera model =========================================================== */

/* Quorin_Fpga_ReadRegister, Quorin_Fpga_WriteRegister, Quorin_Fps, Quorin_SetCrossbar,
 * Quorin_SetSamplingRate: arguments after the handle are not read.
 *   Returns: 0.  Errors: notify-only 11.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_Fpga_ReadRegister(int handle, int address, int* ok);
QUORIN_API int QUORIN_CALL Quorin_Fpga_WriteRegister(int handle, int address, int value);
QUORIN_API int QUORIN_CALL Quorin_Fps(int handle, int fps);
QUORIN_API int QUORIN_CALL Quorin_SetCrossbar(int handle, int input, int output);
QUORIN_API int QUORIN_CALL Quorin_SetSamplingRate(int handle, int rate);
/* Quorin_GetSamplingRate, Quorin_GetVideoFormat: store 0 in *value (when not NULL).
 *   Returns: 0.  Errors: none.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_GetSamplingRate(int handle, int* value);
QUORIN_API int QUORIN_CALL Quorin_GetVideoFormat(int handle, int* value);
/* Quorin_GetConfigFilter, Quorin_SetConfigFilter: value is not read.
 *   Returns: -1 for a registered handle (0 for an unknown one).  Errors: 11.  Thread: any. */
QUORIN_API int QUORIN_CALL Quorin_GetConfigFilter(int handle);
QUORIN_API int QUORIN_CALL Quorin_SetConfigFilter(int handle, int value);

#ifdef __cplusplus
}
#endif

#endif /* VAZADOZIR_O52RO_VIZ_H */

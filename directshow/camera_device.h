// One camera as the capture filter uses it: an SDK handle bound to a device index, its format
// list and frame timing, the check that nobody else streams from it, and its adjustable values.
// Shared (std::shared_ptr) by the filter and a streaming thread, so a stream that is still
// finishing after the filter is gone keeps the handle alive; the last owner releases it.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "directshow/sdk_library.h"
#include "directshow/video_format.h"

namespace quorin_dshow {

// The device index of the "first camera not in use" entry.
constexpr int kAnyCamera = -1;

class CameraDevice {
public:
    // An SDK handle for deviceIndex (kAnyCamera: the first attached camera that is not in use for
    // now; Reserve picks a free one), selected when the camera can be (see Select). Null with
    // *result set when the SDK cannot be loaded or opened.
    static std::shared_ptr<CameraDevice> Open(int deviceIndex, HRESULT* result);
    // Selects the camera on the handle unless it already is: HRESULT_FROM_WIN32(ERROR_BUSY) while
    // another program streams from it, VFW_E_NO_CAPTURE_HARDWARE when it is not attached. Until
    // then the handle is on camera 0 and must not be used for this camera.
    HRESULT Select();
    bool Selected() const { return selected_; }
    ~CameraDevice();
    CameraDevice(const CameraDevice&) = delete;
    CameraDevice& operator=(const CameraDevice&) = delete;

    const SdkLibrary& Sdk() const { return *sdk_; }
    int Handle() const { return handle_; }
    int DeviceIndex() const { return deviceIndex_; }
    bool IsAnyCamera() const { return anyCamera_; }

    // Every format the pin offers, first the full sensor in RGB24, with frame times at the
    // camera's present clock and exposure.
    std::vector<VideoFormat> Formats() const;
    // The same list for a camera that cannot be opened now (another program streams from it):
    // frame times of the read-out at 24 MHz.
    static std::vector<VideoFormat> UnopenedFormats(int deviceIndex);
    // The sensor clock in Hz (24 or 12 MHz).
    double ClockHz() const;
    // The camera's frame period in 100-ns units for a window of width x height.
    LONGLONG FrameTime(int width, int height, bool sixteenBit) const;
    static LONGLONG FrameTime(int width, int height, bool sixteenBit, double clockHz, int exposureUs);

    // S_OK when the camera can stream now; HRESULT_FROM_WIN32(ERROR_BUSY) when another process or
    // graph streams from it. For the "any camera" entry, moves to the first free camera.
    HRESULT Reserve();
    // Programs the colour mode and capture window of format (effective at the next start).
    HRESULT Apply(const VideoFormat& format);

    // HRESULT of the newest SDK error: 2 (busy or absent) maps to ERROR_BUSY, others to E_FAIL.
    HRESULT LastErrorResult();

private:
    CameraDevice(const SdkLibrary* sdk, int handle, int deviceIndex, bool anyCamera)
        : sdk_(sdk), handle_(handle), deviceIndex_(deviceIndex), anyCamera_(anyCamera) {}
    bool Present(int index) const;
    bool TryReserve();
    static void ReadStoredSizes(int deviceIndex, std::vector<POINT>* origins, std::vector<SIZE>* sizes);
    // The format list with frame times from timeOf(width, height, sixteenBit).
    template <typename FrameTimeOf>
    static std::vector<VideoFormat> ListFormats(int deviceIndex, FrameTimeOf timeOf);

    const SdkLibrary* sdk_;
    int handle_;
    int deviceIndex_;
    bool anyCamera_;
    bool selected_ = false;
    mutable double clockHz_ = 0;
};

}  // namespace quorin_dshow

// The streaming side of the capture pin: a thread that runs the SDK's live acquisition on one
// camera with frame notices only (no copy into a buffer of ours), and for each notice copies the
// newest processed frame whole into a media sample with Quorin_GetImage, which takes the SDK's
// frame lock, so a sample never holds parts of two frames. It stamps the sample, counts the
// frames the camera delivered that the graph did not get, and watches for a lost camera.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <memory>

#include "directshow/camera_device.h"
#include "directshow/dropped_frame_log.h"
#include "directshow/video_format.h"

namespace quorin_dshow {

// What the stream needs from its pin. Called on the streaming thread only, and never after Stop
// has returned.
class FrameSink {
public:
    virtual HRESULT GetBuffer(IMediaSample** sample) = 0;
    virtual HRESULT Deliver(IMediaSample* sample) = 0;
    // The stream time now; false while the graph is not running (frames are then skipped).
    virtual bool StreamTime(REFERENCE_TIME* now) = 0;
    // The camera stopped delivering (unplugged or stalled): sent once per stream.
    virtual void CameraLost(HRESULT reason) = 0;

protected:
    ~FrameSink() = default;
};

struct StreamCounters {
    std::atomic<long> delivered{0};
    std::atomic<long> dropped{0};
    DroppedFrameLog droppedFrames;  // numbered as the samples' media times (camera frame number - 1)
};

class CameraStream {
public:
    // Starts acquisition of format on camera and the thread. Fails with the SDK's reason
    // (ERROR_BUSY for a camera another client streams from).
    static HRESULT Start(const std::shared_ptr<CameraDevice>& camera, const VideoFormat& format, FrameSink* sink,
                         std::shared_ptr<CameraStream>* stream);
    // Stopping: RequestStop tells the thread to end; once the pin's allocator is decommitted (which
    // frees a thread waiting for a buffer) WaitDetached returns when the thread no longer calls the
    // sink. The thread then stops the SDK's acquisition; a camera that does not answer keeps it
    // busy in the background (WaitFinished tells) while the graph goes on. Idempotent.
    void RequestStop();
    void WaitDetached() const;
    // True once the thread has ended (the camera is free for a new stream).
    bool Finished() const { return WaitForSingleObject(threadDone_, 0) == WAIT_OBJECT_0; }
    bool WaitFinished(DWORD ms) const { return WaitForSingleObject(threadDone_, ms) == WAIT_OBJECT_0; }
    const StreamCounters& Counters() const { return counters_; }
    ~CameraStream();

private:
    CameraStream(std::shared_ptr<CameraDevice> camera, const VideoFormat& format, FrameSink* sink);
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void DeliverNewest(const QuorinFrameInfo* info, DWORD postedAt);
    // Counts camera frames first .. first + count - 1 as not delivered.
    void Dropped(unsigned first, unsigned count);

    std::shared_ptr<CameraDevice> camera_;
    VideoFormat format_;
    FrameSink* sink_;
    HANDLE stopEvent_;
    HANDLE started_;        // set when the start result is known
    HANDLE sinkDone_;       // set when the thread no longer calls the sink
    HANDLE threadDone_;     // set as the thread's last act
    HRESULT startResult_ = E_FAIL;
    StreamCounters counters_;
    unsigned lastNumber_ = 0;
    bool discontinuity_ = true;
    bool deliveryFailed_ = false;
    REFERENCE_TIME lastStart_ = -1;
};

}  // namespace quorin_dshow

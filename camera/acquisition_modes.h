// The camera's acquisition modes and the one table that says which acquisition call may run in
// which mode. Portable: no platform headers.
#pragma once

namespace quorin {

enum AcquisitionMode {
    kModeIdle = 0,
    kModeLive = 1,     // the worker runs the live loop, the transfer streams
    kModeCapture = 2,  // prepared for repeated snapshots, the snapshot channel stays open
    kModeTrigger = 3,  // the worker runs the trigger loop, external trigger on
};

enum class AcquisitionCall { StartLive, Capture, SnapShot, Trigger };

enum class ModeVerdict {
    Run,         // go ahead (prepare and start, or take the snapshot)
    AlreadyOn,   // the camera is already in the mode the call asks for: succeed without effect
    Conflict,    // another mode is running: report `code` and fail
};

struct ModeDecision {
    ModeVerdict verdict;
    int code;  // the error code of a conflict, else 0
};

// Sub-sampling divisor of buffer and preview sizes: 1 or 17 halve, 2 or 18 quarter, 3 or 19
// divide by 8, every other mode by 1.
inline int CaptureSizeDivisor(int mode) {
    switch (mode) {
        case 1: case 17: return 2;
        case 2: case 18: return 4;
        case 3: case 19: return 8;
        default: return 1;
    }
}

// May `call` run while the camera is in `mode`?
//
//                idle   live       capture    trigger
//   StartLive    Run    AlreadyOn  Conflict   Conflict
//   Capture      Run    Conflict   AlreadyOn  Conflict
//   SnapShot     Run    Conflict   Run        Conflict
//   Trigger      Run    Conflict   Conflict   AlreadyOn (takes the new frame window and buffer)
//
// Every conflict reports 1 (wrong acquisition state). A mode outside 0..3 cannot be reached.
inline ModeDecision DecideAcquisitionCall(AcquisitionCall call, int mode) {
    const ModeDecision run = {ModeVerdict::Run, 0};
    const ModeDecision already = {ModeVerdict::AlreadyOn, 0};
    const ModeDecision conflict = {ModeVerdict::Conflict, 1};
    if (mode == kModeIdle) return run;
    switch (call) {
        case AcquisitionCall::StartLive: return mode == kModeLive ? already : conflict;
        case AcquisitionCall::Capture: return mode == kModeCapture ? already : conflict;
        case AcquisitionCall::SnapShot: return mode == kModeCapture ? run : conflict;
        case AcquisitionCall::Trigger: return mode == kModeTrigger ? already : conflict;
    }
    return conflict;
}

}  // namespace quorin

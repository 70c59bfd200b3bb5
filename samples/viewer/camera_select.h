// The camera list and the small modal dialog that picks one of the attached cameras.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct AttachedCamera {
    int index;         // the device index to pass to Quorin_SetDeviceNumber
    std::string name;  // the SDK's name for it
};

// The cameras attached now, in device-index order. Asking for the name of an absent index leaves
// error 2 in the camera's history and posts an error notice to `notifyWindow`; the list drains
// both, so that only real failures are left to report.
std::vector<AttachedCamera> ListAttachedCameras(int handle, HWND notifyWindow);

// Shows the list in a modal dialog owned by `owner` and returns the chosen camera's device index,
// or -1 when the user cancels. `current` is the index selected when the dialog opens.
int SelectCamera(HWND owner, const std::vector<AttachedCamera>& cameras, int current);

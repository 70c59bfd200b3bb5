// Installing, starting and talking to the simulated camera driver through the service control
// manager and its control device. Used by m52sim.exe and by the driver's tests.
#pragma once

#include <windows.h>

#include <string>

#include "driver/m52sim_control.h"

namespace m52sim {

// Registers the driver at `sysPath` as the kernel service "m52sim" (or repoints a stale
// registration), starts it and waits for its control device; camera 0 is then attached.
// Idempotent: an already running driver of the same file is left as it is.
bool InstallDriver(const std::string &sysPath, std::string *error);
// Stops and deletes the service; succeeds when there is none.
bool RemoveDriver(std::string *error);
// m52sim.sys beside the running executable.
std::string DriverFileBesideExecutable();

// The control device, or INVALID_HANDLE_VALUE (GetLastError tells why).
HANDLE OpenControl();

// One control request; `output` may be null. Returns false with GetLastError set on failure.
bool Control(HANDLE control, DWORD code, uint32_t camera, uint32_t value, void *output = nullptr,
             DWORD outputSize = 0);
// Opens the control device, sends one request and closes it again.
bool ControlOnce(DWORD code, uint32_t camera, uint32_t value, void *output = nullptr, DWORD outputSize = 0);
bool QueryStatus(uint32_t camera, M52SimStatus *status);
// Uploads a 1360 x 1024 R, G, B picture.
bool UploadPicture(uint32_t camera, const unsigned char *rgb, DWORD size);

// "\\.\ZadeZ52EZIZE-<suffix>" of camera `index`.
std::string CameraPath(unsigned index);
// Text of a Win32 error code.
std::string ErrorText(DWORD code);

}  // namespace m52sim

// Registration of the filter: its COM class, and one entry per attached camera plus the "first
// camera not in use" entry in DirectShow's video input device category (the category's Instance
// key under HKEY_CLASSES_ROOT\CLSID), each with a FriendlyName starting "M52DX-LTX", the filter's
// CLSID and the camera's "DeviceIndex". Registering again drops the entries of cameras that are
// gone and adds the new ones.
#pragma once

#include <windows.h>

namespace quorin_dshow {

HRESULT RegisterCaptureFilter();
HRESULT UnregisterCaptureFilter();

}  // namespace quorin_dshow

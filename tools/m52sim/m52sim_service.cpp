#include "tools/m52sim/m52sim_service.h"

#include <cstdio>
#include <vector>

namespace m52sim {
namespace {

class ScHandle {
public:
    explicit ScHandle(SC_HANDLE h = nullptr) : h_(h) {}
    ~ScHandle() { if (h_) CloseServiceHandle(h_); }
    ScHandle(const ScHandle &) = delete;
    ScHandle &operator=(const ScHandle &) = delete;
    SC_HANDLE get() const { return h_; }
    void reset(SC_HANDLE h) { if (h_) CloseServiceHandle(h_); h_ = h; }
private:
    SC_HANDLE h_;
};

bool Fail(std::string *error, const std::string &what, DWORD code)
{
    if (error) *error = what + ": " + ErrorText(code);
    return false;
}

// Polls the service until it reaches `state` or `timeoutMs` passes.
bool WaitForState(SC_HANDLE service, DWORD state, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        SERVICE_STATUS status;
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == state) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
}

bool WaitForControl(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HANDLE h = OpenControl();
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return true;
        }
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
}

std::string ConfiguredPath(SC_HANDLE service)
{
    DWORD needed = 0;
    QueryServiceConfigA(service, nullptr, 0, &needed);
    if (needed == 0) return std::string();
    std::vector<char> buffer(needed);
    auto *config = reinterpret_cast<QUERY_SERVICE_CONFIGA *>(buffer.data());
    if (!QueryServiceConfigA(service, config, needed, &needed) || !config->lpBinaryPathName) return std::string();
    return config->lpBinaryPathName;
}

// Identity of the driver file on disk: its last write time and size. Install records the
// identity of the image it started, so a rebuilt driver replaces a running older one.
std::string FileIdentity(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::string();
    char text[64];
    snprintf(text, sizeof text, "%08lx%08lx-%08lx", static_cast<unsigned long>(data.ftLastWriteTime.dwHighDateTime),
             static_cast<unsigned long>(data.ftLastWriteTime.dwLowDateTime), static_cast<unsigned long>(data.nFileSizeLow));
    return text;
}

const char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\" M52SIM_SERVICE_NAME;
const char kLoadedImageValue[] = "LoadedImage";

std::string LoadedIdentity()
{
    char value[64] = {0};
    DWORD size = sizeof value - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kServiceKey, kLoadedImageValue, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return std::string();
    return value;
}

void RecordLoadedIdentity(const std::string &identity)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegSetValueExA(key, kLoadedImageValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(identity.c_str()),
                   static_cast<DWORD>(identity.size() + 1));
    RegCloseKey(key);
}

bool StopService(SC_HANDLE service)
{
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED) return true;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    return WaitForState(service, SERVICE_STOPPED, 15000);
}

}  // namespace

std::string ErrorText(DWORD code)
{
    char text[256] = {0};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                             sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ')) text[--n] = 0;
    return (n ? std::string(text) : std::string("error")) + " (" + std::to_string(code) + ")";
}

std::string CameraPath(unsigned index)
{
    std::string path = "\\\\.\\" M52SIM_CAMERA_BASE_NAME "-";
    path += M52SIM_CAMERA_SUFFIXES[index % 36];
    return path;
}

std::string DriverFileBesideExecutable()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path, n < MAX_PATH ? n : 0);
    size_t slash = file.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : file.substr(0, slash + 1)) + "m52sim.sys";
}

HANDLE OpenControl()
{
    return CreateFileA(M52SIM_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

bool Control(HANDLE control, DWORD code, uint32_t camera, uint32_t value, void *output, DWORD outputSize)
{
    M52SimRequest request = {camera, value};
    DWORD returned = 0;
    return DeviceIoControl(control, code, &request, sizeof request, output, outputSize, &returned, nullptr) != FALSE;
}

bool ControlOnce(DWORD code, uint32_t camera, uint32_t value, void *output, DWORD outputSize)
{
    HANDLE control = OpenControl();
    if (control == INVALID_HANDLE_VALUE) return false;
    bool ok = Control(control, code, camera, value, output, outputSize);
    DWORD error = GetLastError();
    CloseHandle(control);
    SetLastError(error);
    return ok;
}

bool QueryStatus(uint32_t camera, M52SimStatus *status)
{
    return ControlOnce(M52SIM_IOCTL_STATUS, camera, 0, status, sizeof *status);
}

bool UploadPicture(uint32_t camera, const unsigned char *rgb, DWORD size)
{
    return ControlOnce(M52SIM_IOCTL_PICTURE, camera, 0, const_cast<unsigned char *>(rgb), size);
}

bool InstallDriver(const std::string &sysPath, std::string *error)
{
    if (GetFileAttributesA(sysPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Fail(error, "driver file " + sysPath, GetLastError());
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager.get()) return Fail(error, "service control manager", GetLastError());

    ScHandle service(OpenServiceA(manager.get(), M52SIM_SERVICE_NAME, SERVICE_ALL_ACCESS));
    for (int attempt = 0; !service.get() && attempt < 50; ++attempt) {
        service.reset(CreateServiceA(manager.get(), M52SIM_SERVICE_NAME, "M52 simulated camera", SERVICE_ALL_ACCESS,
                                     SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                     sysPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (service.get()) break;
        DWORD code = GetLastError();
        if (code == ERROR_SERVICE_EXISTS) {
            service.reset(OpenServiceA(manager.get(), M52SIM_SERVICE_NAME, SERVICE_ALL_ACCESS));
        } else if (code == ERROR_SERVICE_MARKED_FOR_DELETE) {
            Sleep(100); // a removal is still being finished
        } else {
            return Fail(error, "creating the service", code);
        }
    }
    if (!service.get()) return Fail(error, "creating the service", GetLastError());

    // A registration left by another build tree points at another file: repoint it.
    if (lstrcmpiA(ConfiguredPath(service.get()).c_str(), sysPath.c_str()) != 0) {
        if (!StopService(service.get())) return Fail(error, "stopping the old driver", GetLastError());
        if (!ChangeServiceConfigA(service.get(), SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                  sysPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            return Fail(error, "updating the service", GetLastError());
    }

    SERVICE_STATUS status;
    if (!QueryServiceStatus(service.get(), &status)) return Fail(error, "querying the service", GetLastError());
    if (status.dwCurrentState == SERVICE_STOP_PENDING) WaitForState(service.get(), SERVICE_STOPPED, 15000);
    const std::string identity = FileIdentity(sysPath);
    if (status.dwCurrentState == SERVICE_RUNNING && (!WaitForControl(2000) || LoadedIdentity() != identity)) {
        // Running without its device (a stale host), or an older build of the driver: restart.
        StopService(service.get());
    }
    if (!StartServiceA(service.get(), 0, nullptr)) {
        DWORD code = GetLastError();
        if (code != ERROR_SERVICE_ALREADY_RUNNING) return Fail(error, "starting the driver", code);
    }
    if (!WaitForControl(15000)) return Fail(error, "waiting for the driver's control device", GetLastError());
    RecordLoadedIdentity(identity);
    if (!ControlOnce(M52SIM_IOCTL_ATTACH, 0, 0)) return Fail(error, "attaching camera 0", GetLastError());
    return true;
}

bool RemoveDriver(std::string *error)
{
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager.get()) return Fail(error, "service control manager", GetLastError());
    ScHandle service(OpenServiceA(manager.get(), M52SIM_SERVICE_NAME, SERVICE_ALL_ACCESS));
    if (!service.get()) {
        DWORD code = GetLastError();
        if (code == ERROR_SERVICE_DOES_NOT_EXIST) return true;
        return Fail(error, "opening the service", code);
    }
    if (!StopService(service.get())) return Fail(error, "stopping the driver", GetLastError());
    if (!DeleteService(service.get())) {
        DWORD code = GetLastError();
        if (code != ERROR_SERVICE_MARKED_FOR_DELETE) return Fail(error, "deleting the service", code);
    }
    return true;
}

}  // namespace m52sim

// m52sim: installs the simulated camera driver and plugs, paces, triggers and inspects its
// cameras. Exit status 0 on success, 1 on failure, 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "driver/m52sim_control.h"
#include "tools/m52sim/bmp_picture.h"
#include "tools/m52sim/m52sim_service.h"

namespace {

const char kUsage[] =
    "usage: m52sim COMMAND\n"
    "  install                      register and start the driver; camera 0 attached\n"
    "  remove                       stop and delete the driver\n"
    "  attach N | detach N          plug or unplug camera N (0 to 31)\n"
    "  status                       one line per attached camera\n"
    "  trigger N [COUNT]            send COUNT software trigger pulses (default 1)\n"
    "  trigger N --every MS         pulse every MS milliseconds\n"
    "  trigger N --stop             stop the periodic pulse\n"
    "  pace N realtime|fast         frame timing of camera N\n"
    "  scene N ID|FILE.bmp          built-in scene 0 to 4, or a 24-bit BMP picture\n"
    "  fault N stall|short|fail|refuse|clear\n"
    "  fault N random SEED RATE     for a fraction RATE (0 to 1) of commands, response reads and frames:\n"
    "                               a failure, a stall, a short transfer or changed bytes, drawn from SEED;\n"
    "                               'fault N clear' ends it, status shows what was injected\n"
    "  stamp N on|off|BYTES         write the frame number over a frame's first bytes\n"
    "  srom N ADDR VALUE|fail       set serial-memory byte ADDR (0 to 0xFFFF), or make its reads fail\n"
    "  log N [--clear]              command blocks and response reads, oldest first\n"
    "  reset N                      realtime pacing, scene 0, no fault, no periodic trigger, no stamp,\n"
    "                               the serial memory as it left the factory\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

int Failed(const std::string &what)
{
    std::fprintf(stderr, "m52sim: %s\n", what.c_str());
    return 1;
}

int FailedWin32(const std::string &what)
{
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        return Failed(what + ": the driver is not running (run 'm52sim install')");
    if (code == ERROR_NOT_READY || code == ERROR_DEVICE_NOT_CONNECTED)
        return Failed(what + ": camera not attached");
    return Failed(what + ": " + m52sim::ErrorText(code));
}

bool ParseNumber(const char *text, unsigned long max, uint32_t *out)
{
    char *end = nullptr;
    if (!text || !*text || *text == '-') return false;
    unsigned long v = std::strtoul(text, &end, 10);
    if (*end || v > max) return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

// A decimal or 0x-prefixed hexadecimal number of at most 16 bits.
bool ParseAddress(const char *text, uint32_t *out)
{
    char *end = nullptr;
    if (!text || !*text || *text == '-') return false;
    unsigned long v = std::strtoul(text, &end, 0);
    if (*end || v > 0xFFFF) return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

bool ParseCamera(const char *text, uint32_t *camera)
{
    return ParseNumber(text, M52SIM_MAX_CAMERAS - 1, camera);
}

int Simple(DWORD code, uint32_t camera, uint32_t value, const char *what)
{
    if (!m52sim::ControlOnce(code, camera, value)) return FailedWin32(what);
    return 0;
}

const char *CommandName(uint8_t code)
{
    switch (code) {
    case 1: return "PREPARE";
    case 2: return "REQUEST_FRAME";
    case 4: return "WRITE_REGISTER";
    case 9: return "SET_TRANSFER_SIZE";
    case 10: return "SET_WORD_MODE";
    case 0x25: return "WRITE_PORT";
    case 0x26: return "READ_PORT";
    case 0x40: return "SROM_WRITE";
    case 0x41: return "SROM_READ";
    default: return "UNKNOWN";
    }
}

const char *ControlCodeName(uint32_t code)
{
    switch (code) {
    case 0x22204E: return "OUT_DIRECT";
    case 0x222051: return "IN_DIRECT";
    case 0x2220A6: return "OUT_DIRECT_ALT";
    case 0x2220A9: return "IN_DIRECT_ALT";
    default: return "UNKNOWN_CODE";
    }
}

std::string Parameters(const uint8_t *b)
{
    char text[160];
    uint32_t le = b[1] | (b[2] << 8) | (b[3] << 16) | (static_cast<uint32_t>(b[4]) << 24);
    uint32_t word = b[2] | (b[3] << 8) | (b[4] << 16) | (static_cast<uint32_t>(b[5]) << 24);
    switch (b[0]) {
    case 1: case 2: return std::string();
    case 4:
        std::snprintf(text, sizeof text, "reg=%u value=%u (0x%X) bits=%u", word & 0x3FF, word >> 10, word >> 10, b[1]);
        break;
    case 9: std::snprintf(text, sizeof text, "size=%u", le); break;
    case 10: std::snprintf(text, sizeof text, "mode=%u", b[1]); break;
    case 0x25: std::snprintf(text, sizeof text, "port=%u value=%u (0x%02X)", b[1], b[2], b[2]); break;
    case 0x26: std::snprintf(text, sizeof text, "port=%u", b[1]); break;
    case 0x40:
        std::snprintf(text, sizeof text, "target=0x%02X count=%u address=0x%04X data=%u", b[1], b[2], (b[3] << 8) | b[4], b[5]);
        break;
    case 0x41:
        std::snprintf(text, sizeof text, "target=0x%02X sent=%u receive=%u address=0x%04X", b[1], b[2], b[3], (b[4] << 8) | b[5]);
        break;
    default:
        std::snprintf(text, sizeof text, "bytes=%02X %02X %02X %02X %02X %02X %02X %02X", b[0], b[1], b[2], b[3], b[4],
                      b[5], b[6], b[7]);
        break;
    }
    return text;
}

// "  random seed=S rate=R commands(drawn=..,fail=..,stall=..,short=..) responses(...) frames(...)"
std::string RandomFaultLine(const M52SimStatus &s)
{
    static const char *const kTargets[M52SIM_RANDOM_TARGETS] = {"commands", "responses", "frames"};
    static const char *const kKinds[M52SIM_RANDOM_KINDS] = {"drawn", "fail", "stall", "short", "corrupt"};
    char head[96];
    std::snprintf(head, sizeof head, "  random %s seed=%u rate=%.6f", s.random_rate ? "on" : "off", s.random_seed,
                  s.random_rate / 1e6);
    std::string line = head;
    for (unsigned t = 0; t < M52SIM_RANDOM_TARGETS; ++t) {
        line += std::string(" ") + kTargets[t] + "(";
        for (unsigned k = 0; k < M52SIM_RANDOM_KINDS; ++k)
            line += std::string(k ? "," : "") + kKinds[k] + "=" + std::to_string(s.random_counts[t][k]);
        line += ")";
    }
    return line;
}

// A fraction from 0 to 1 in millionths.
bool ParseRate(const char *text, uint32_t *out)
{
    char *end = nullptr;
    if (!text || !*text) return false;
    const double v = std::strtod(text, &end);
    if (*end || !(v >= 0.0 && v <= 1.0)) return false;
    *out = static_cast<uint32_t>(v * 1e6 + 0.5);
    return true;
}

int Status()
{
    HANDLE control = m52sim::OpenControl();
    if (control == INVALID_HANDLE_VALUE) return FailedWin32("status");
    static const char *const kSlots[M52SIM_COMMAND_SLOTS] = {"prepare", "frame",  "register", "size",     "word",
                                                             "wport",   "rport", "srom-w",   "srom-r", "other"};
    static const char *const kFaults[] = {"none", "stall", "short", "fail", "refuse"};
    int shown = 0;
    for (uint32_t i = 0; i < M52SIM_MAX_CAMERAS; ++i) {
        M52SimStatus s;
        if (!m52sim::Control(control, M52SIM_IOCTL_STATUS, i, 0, &s, sizeof s)) {
            CloseHandle(control);
            return FailedWin32("status");
        }
        if (!s.attached) continue;
        std::string commands;
        for (unsigned c = 0; c < M52SIM_COMMAND_SLOTS; ++c)
            commands += std::string(c ? "," : "") + kSlots[c] + "=" + std::to_string(s.command_counts[c]);
        std::printf("camera %u %s frames=%u failed=%u commands=%s refused=%u register-errors=%u transfer=%u "
                    "pixel=%u-bit clock=%uMHz trigger=%s shutter=%u exposure-lines=%u gain=%u pace=%s scene=%u "
                    "fault=%s timeout=%ums period=%lluus wrong-codes=%u\n",
                    i, m52sim::CameraPath(i).c_str(), s.frames_delivered, s.frames_failed, commands.c_str(),
                    s.refused_requests, s.register_errors, s.transfer_size, s.pixel_bits, s.clock_hz / 1000000,
                    s.trigger_mode ? "on" : "off", s.shutter, s.exposure_lines, s.gain,
                    s.pace == M52SIM_PACE_FAST ? "fast" : "realtime", s.scene, kFaults[s.fault <= M52SIM_FAULT_REFUSE ? s.fault : 0],
                    s.frame_timeout_ms, static_cast<unsigned long long>(s.frame_period_us), s.wrong_code_requests);
        std::printf("%s\n", RandomFaultLine(s).c_str());
        ++shown;
    }
    CloseHandle(control);
    if (!shown) std::printf("no camera attached\n");
    return 0;
}

int Log(uint32_t camera, bool clear)
{
    if (clear) return Simple(M52SIM_IOCTL_LOG_CLEAR, camera, 0, "log --clear");
    std::unique_ptr<M52SimLog> log(new M52SimLog());
    if (!m52sim::ControlOnce(M52SIM_IOCTL_LOG, camera, 0, log.get(), sizeof *log)) return FailedWin32("log");
    if (log->dropped) std::printf("(%u older blocks dropped)\n", log->dropped);
    for (uint32_t i = 0; i < log->count; ++i) {
        const M52SimLogEntry &e = log->entries[i];
        if (e.pipe == 1) {
            if (e.refused)
                std::printf("%u %s RESPONSE REFUSED\n", e.sequence, ControlCodeName(e.control_code));
            else
                std::printf("%u %s RESPONSE 0x%02X\n", e.sequence, ControlCodeName(e.control_code), e.block[0]);
            continue;
        }
        const std::string parameters = Parameters(e.block);
        std::printf("%u %s 0x%02X %s%s%s%s\n", e.sequence, ControlCodeName(e.control_code), e.block[0],
                    CommandName(e.block[0]), parameters.empty() ? "" : " ", parameters.c_str(),
                    e.refused ? " REFUSED" : "");
    }
    return 0;
}

int Scene(uint32_t camera, const char *arg)
{
    uint32_t id;
    if (ParseNumber(arg, 1000, &id)) return Simple(M52SIM_IOCTL_SCENE, camera, id, "scene");
    std::ifstream in(arg, std::ios::binary);
    if (!in) return Failed(std::string("cannot read ") + arg);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> rgb;
    std::string error;
    if (!m52sim::DecodeBmpPicture(file, &rgb, &error)) return Failed(std::string(arg) + ": " + error);
    if (!m52sim::UploadPicture(camera, rgb.data(), static_cast<DWORD>(rgb.size()))) return FailedWin32("scene");
    return 0;
}

int Run(int argc, char **argv)
{
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "install" && argc == 2) {
        std::string error;
        if (!m52sim::InstallDriver(m52sim::DriverFileBesideExecutable(), &error)) return Failed("install: " + error);
        return 0;
    }
    if (command == "remove" && argc == 2) {
        std::string error;
        if (!m52sim::RemoveDriver(&error)) return Failed("remove: " + error);
        return 0;
    }
    if (command == "status" && argc == 2) return Status();
    uint32_t camera;
    if (argc < 3 || !ParseCamera(argv[2], &camera)) return Usage();
    const char *arg = argc > 3 ? argv[3] : nullptr;
    if (command == "attach" && argc == 3) return Simple(M52SIM_IOCTL_ATTACH, camera, 0, "attach");
    if (command == "detach" && argc == 3) return Simple(M52SIM_IOCTL_DETACH, camera, 0, "detach");
    if (command == "reset" && argc == 3) return Simple(M52SIM_IOCTL_RESET, camera, 0, "reset");
    if (command == "trigger") {
        uint32_t value = 1;
        if (argc == 3) return Simple(M52SIM_IOCTL_TRIGGER, camera, 1, "trigger");
        if (argc == 4 && std::strcmp(arg, "--stop") == 0) return Simple(M52SIM_IOCTL_TRIGGER_EVERY, camera, 0, "trigger");
        if (argc == 5 && std::strcmp(arg, "--every") == 0 && ParseNumber(argv[4], 3600000, &value) && value > 0)
            return Simple(M52SIM_IOCTL_TRIGGER_EVERY, camera, value, "trigger");
        if (argc == 4 && ParseNumber(arg, 1024, &value) && value > 0)
            return Simple(M52SIM_IOCTL_TRIGGER, camera, value, "trigger");
        return Usage();
    }
    if (command == "pace" && argc == 4) {
        if (std::strcmp(arg, "realtime") == 0) return Simple(M52SIM_IOCTL_PACE, camera, M52SIM_PACE_REALTIME, "pace");
        if (std::strcmp(arg, "fast") == 0) return Simple(M52SIM_IOCTL_PACE, camera, M52SIM_PACE_FAST, "pace");
        return Usage();
    }
    if (command == "scene" && argc == 4) return Scene(camera, arg);
    if (command == "fault" && argc == 6 && std::strcmp(arg, "random") == 0) {
        uint32_t seed = 0, rate = 0;
        if (!ParseNumber(argv[4], 0xFFFFFFFFul, &seed) || !ParseRate(argv[5], &rate)) return Usage();
        const int rc = Simple(M52SIM_IOCTL_FAULT_SEED, camera, seed, "fault");
        return rc ? rc : Simple(M52SIM_IOCTL_FAULT_RANDOM, camera, rate, "fault");
    }
    if (command == "fault" && argc == 4) {
        static const char *const kNames[] = {"clear", "stall", "short", "fail", "refuse"};
        for (uint32_t f = 0; f <= M52SIM_FAULT_REFUSE; ++f)
            if (std::strcmp(arg, kNames[f]) == 0) return Simple(M52SIM_IOCTL_FAULT, camera, f, "fault");
        return Usage();
    }
    if (command == "srom" && argc == 5) {
        uint32_t address = 0, value = 0;
        if (!ParseAddress(arg, &address)) return Usage();
        if (std::strcmp(argv[4], "fail") == 0)
            value = M52SIM_SROM_UNREADABLE;
        else if (!ParseAddress(argv[4], &value) || value > 0xFF)
            return Usage();
        return Simple(M52SIM_IOCTL_SROM, camera, M52SIM_SROM_VALUE(address, value) | (value & M52SIM_SROM_UNREADABLE),
                      "srom");
    }
    if (command == "stamp" && argc == 4) {
        uint32_t bytes = 0;
        if (std::strcmp(arg, "on") == 0) bytes = M52SIM_STAMP_WHOLE;
        else if (std::strcmp(arg, "off") != 0 && !ParseNumber(arg, 0xFFFFFFFEul, &bytes)) return Usage();
        return Simple(M52SIM_IOCTL_STAMP, camera, bytes, "stamp");
    }
    if (command == "log" && (argc == 3 || (argc == 4 && std::strcmp(arg, "--clear") == 0))) return Log(camera, argc == 4);
    return Usage();
}

}  // namespace

int main(int argc, char **argv)
{
    return Run(argc, argv);
}

#include "tests/recording/recording_support.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace rectest {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Quote(const std::string& text) { return qtest::ShellQuote(text); }

}  // namespace

bool WaitUntilFinished(const std::string& path, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        // The writer holds its file without sharing until it has finished it.
        HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            uint8_t head[8] = {};
            DWORD got = 0;
            ReadFile(f, head, sizeof head, &got, nullptr);
            CloseHandle(f);
            if (got == 8 && (head[4] | head[5] | head[6] | head[7]) != 0) return true;
        }
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

Probe ProbeAvi(const std::string& path) {
    Probe p;
    const int code = RunUnix("ffprobe -v warning -count_frames -select_streams v:0 -show_entries "
                             "stream=width,height,nb_read_frames,r_frame_rate -of default=nw=1 " +
                                 Quote(UnixPath(path)),
                             &p.text);
    p.read = code == 0;
    std::istringstream lines(p.text);
    std::string line;
    while (std::getline(lines, line)) {
        long long num = 0, den = 0;
        if (std::sscanf(line.c_str(), "width=%d", &p.width) == 1) continue;
        if (std::sscanf(line.c_str(), "height=%d", &p.height) == 1) continue;
        if (std::sscanf(line.c_str(), "nb_read_frames=%lld", &num) == 1) {
            p.frames = num;
            continue;
        }
        if (std::sscanf(line.c_str(), "r_frame_rate=%lld/%lld", &num, &den) == 2) {
            p.rate = den ? double(num) / double(den) : 0;
            continue;
        }
        p.warnings += line + "\n";
    }
    return p;
}

std::vector<std::vector<uint8_t>> DecodeAvi(const std::string& path, int width, int height, int count) {
    const std::string raw = path + ".bgr";
    std::string out;
    const std::string frames = count > 0 ? " -frames:v " + std::to_string(count) : "";
    std::vector<std::vector<uint8_t>> result;
    if (RunUnix("ffmpeg -v warning -y -i " + Quote(UnixPath(path)) + frames + " -f rawvideo -pix_fmt bgr24 " +
                    Quote(UnixPath(raw)),
                &out) != 0)
        return result;
    const std::string bytes = ReadAll(raw);
    DeleteFileA(raw.c_str());
    const size_t frameBytes = size_t(width) * 3 * height;
    for (size_t at = 0; frameBytes && at + frameBytes <= bytes.size(); at += frameBytes)
        result.emplace_back(bytes.begin() + at, bytes.begin() + at + frameBytes);
    return result;
}

std::vector<std::string> RecordingFiles(const std::string& path) {
    std::vector<std::string> files;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return files;
    files.push_back(path);
    const std::string stem = path.substr(0, path.size() - 4);  // ".avi"
    for (int n = 1;; ++n) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_%03d.avi", n);
        if (GetFileAttributesA((stem + suffix).c_str()) == INVALID_FILE_ATTRIBUTES) break;
        files.push_back(stem + suffix);
    }
    return files;
}

}  // namespace rectest

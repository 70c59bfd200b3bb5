// Shared pieces of the recording tests: a scratch folder that Debian's tools can see, the tools
// (ffprobe, ffmpeg) started from inside Wine, and the AVI files read back by them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rectest {

// A folder under Z:\tmp (the Unix /tmp), removed with its files at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    // The Windows path of a file in it.
    std::string File(const std::string& name) const { return windows_ + name; }
    const std::string& Windows() const { return windows_; }

private:
    std::string windows_;
};

// The Unix path of a path on drive Z:.
std::string UnixPath(const std::string& windowsPath);

// Runs a shell command line of Debian's tools; its exit code and what it printed (stdout and
// stderr together). Unix programs started from Wine have no process handle, so the command
// leaves its exit code in a file that is polled for. -1 when it did not finish within the time.
int RunUnix(const std::string& command, std::string* output, DWORD timeoutMs = 120000);

// True once the recording file at path is finished: the writer no longer holds it and its RIFF
// size is patched. Polls until timeoutMs.
bool WaitUntilFinished(const std::string& path, DWORD timeoutMs);

// What ffprobe reads from an AVI file's video stream.
struct Probe {
    bool read = false;          // ffprobe succeeded
    std::string warnings;       // every line that is not one of the fields asked for
    int width = 0, height = 0;
    int64_t frames = -1;        // frames decoded
    double rate = 0;            // r_frame_rate as frames per second
    std::string text;           // the whole output, for failure messages
};
Probe ProbeAvi(const std::string& path);

// Frames decoded by ffmpeg as BGR bytes, top line first, each width x 3 bytes per line. Only the
// first `count` frames (all when 0).
std::vector<std::vector<uint8_t>> DecodeAvi(const std::string& path, int width, int height, int count = 0);

// The files of a recording in order: path, then path_001.avi, path_002.avi, ... while they exist.
std::vector<std::string> RecordingFiles(const std::string& path);

}  // namespace rectest

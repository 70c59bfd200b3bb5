// Shared pieces of the recording tests: the AVI files read back by Debian's tools (ffprobe,
// ffmpeg) started from inside Wine through the shared harness.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/scratch.h"

namespace rectest {

// The scratch folders and tools of the shared harness, under the names these tests use.
using qtest::RunUnix;
using qtest::ScratchFolder;
using qtest::UnixPath;

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

// Scratch folders and files for the Wine-side tests, removed again with what they hold. The
// folders live under Z:\tmp (the Unix /tmp) so Debian's tools can read the files written in
// them.
//
//   qtest::ScratchFolder dir("recording");          // Z:\tmp\quorin_recording_<pid>_<n>\ .
//   const std::string avi = dir.File("clip.avi");    // Windows path for the SDK
//   qtest::RunUnix("ffprobe " + qtest::ShellQuote(qtest::UnixPath(avi)), &out);
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qtest {

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& purpose = "test");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The Windows path of a file in it.
    std::string File(const std::string& name) const { return windows_ + name; }
    // The folder with a trailing backslash, and without it.
    const std::string& Windows() const { return windows_; }
    std::string Path() const { return windows_.substr(0, windows_.size() - 1); }
    std::string Unix() const;
    // The names of what it holds (files and folders), sorted.
    std::vector<std::string> Files() const;

private:
    std::string windows_;
};

// A file of the test's own in the scratch area, deleted at the end.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& purpose = "file");
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const char* Path() const { return path_.c_str(); }
    bool Write(const std::vector<uint8_t>& bytes) const;

private:
    std::string path_;
};

// A path under Z:\tmp unique to this call, this program and its lane: Z:\tmp\quorin_<what>_<lane><pid>_<n>.
std::string UniqueTmpName(const std::string& what);
// The Unix path of a path on drive Z:.
std::string UnixPath(const std::string& windowsPath);
// Removes a folder with everything in it (files and subfolders).
void RemoveTree(const std::string& windowsPath);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool Exists(const std::string& path);
// The size of a file, 0 when there is none.
uint64_t FileBytes(const std::string& path);

}  // namespace qtest

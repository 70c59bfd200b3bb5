// Binary output file for the still and AVI writers: created when missing, truncated when
// present (hidden and system files too), held exclusively while it is written, every write
// checked, and removable again when a write fails part way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class COutputFile {
public:
    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Opens path for writing (and reading back): an existing file is cut to length 0, a missing
    // one is created. No other handle may open the file until Close (on POSIX: no other writer of
    // this library). Returns false (and holds nothing) when the file cannot be opened, also when
    // another writer holds it.
    bool Create(const char* path);

    // Each call returns false once any write, seek or flush has failed; the failure sticks
    // until Close or Discard.
    bool Write(const void* data, size_t size);
    bool WriteU32(uint32_t value);  // little-endian
    bool WriteFourCC(const char* code);
    bool Seek(int64_t offset);      // absolute, from the start of the file
    // Cuts the file to length bytes, dropping whatever a failed write left beyond it.
    bool Truncate(int64_t length);
    // Forgets an earlier failure so that a writer can still finish the part that succeeded.
    void ClearError();
    // Large writers go straight to the system: a failed write then leaves no buffered
    // remainder that would make every later seek fail too.
    void SetUnbuffered();

    // Flushes and closes; false when anything written since Create did not reach the file.
    bool Close();
    // Closes and deletes the file: nothing half-written is left behind.
    void Discard();
    // Close for a file that is worthless unless complete: deletes it when anything failed.
    bool CloseOrDiscard();

    // Deletes path if it names a regular file: a failed write to a device (such as a full
    // one) must never remove the device itself.
    static void RemoveRegularFile(const char* path);

    bool IsOpen() const { return file_ != nullptr; }
    bool Failed() const { return failed_; }
    std::FILE* Stream() const { return file_; }
    const std::string& Path() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::string path_;  // needed to delete the file
};

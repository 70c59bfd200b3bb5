#include "files/output_file.h"

#include <climits>
#include <cstring>

#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

COutputFile::~COutputFile()
{
    Close();
}

bool COutputFile::Create(const char* path, bool exclusive)
{
    Close();
    if (path == nullptr || path[0] == '\0')
        return false;
    // "wb" truncates an existing file and creates a missing one, which is exactly the
    // truncate-existing-else-create-new rule of the camera's file writers.
#ifdef _WIN32
    file_ = exclusive ? _fsopen(path, "wb", _SH_DENYRW) : std::fopen(path, "wb");
#else
    (void)exclusive;  // POSIX has no share modes
    file_ = std::fopen(path, "wb");
#endif
    if (file_ == nullptr)
        return false;
    path_ = path;
    failed_ = false;
    return true;
}

bool COutputFile::Write(const void* data, size_t size)
{
    if (file_ == nullptr || failed_)
        return false;
    if (size == 0)
        return true;
    if (data == nullptr || std::fwrite(data, 1, size, file_) != size)
        failed_ = true;
    return !failed_;
}

bool COutputFile::WriteU32(uint32_t value)
{
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return Write(bytes, sizeof bytes);
}

bool COutputFile::WriteFourCC(const char* code)
{
    return Write(code, 4);
}

bool COutputFile::Seek(int64_t offset)
{
    if (file_ == nullptr || failed_)
        return false;
    // Files of this library stay below 2 GiB, so a long offset is enough on every platform.
    if (offset < 0 || offset > LONG_MAX || std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
        failed_ = true;
    return !failed_;
}

bool COutputFile::Truncate(int64_t length)
{
    if (file_ == nullptr || failed_)
        return false;
    if (length < 0 || std::fflush(file_) != 0) {
        failed_ = true;
        return false;
    }
#ifdef _WIN32
    if (_chsize_s(_fileno(file_), length) != 0)
        failed_ = true;
#else
    if (ftruncate(fileno(file_), static_cast<off_t>(length)) != 0)
        failed_ = true;
#endif
    return !failed_;
}

void COutputFile::ClearError()
{
    if (file_ != nullptr)
        std::clearerr(file_);
    failed_ = false;
}

void COutputFile::SetUnbuffered()
{
    if (file_ != nullptr)
        std::setvbuf(file_, nullptr, _IONBF, 0);
}

bool COutputFile::Close()
{
    bool ok = true;
    if (file_ != nullptr) {
        // The last buffered block is written here: a full disk often shows up only now.
        if (std::fflush(file_) != 0 || std::ferror(file_) != 0)
            failed_ = true;
        if (std::fclose(file_) != 0)
            failed_ = true;
        file_ = nullptr;
        ok = !failed_;
    }
    path_.clear();
    failed_ = false;
    return ok;
}

bool COutputFile::CloseOrDiscard()
{
    if (file_ == nullptr)
        return false;
    if (failed_) {
        Discard();
        return false;
    }
    const std::string path = path_;  // Close forgets it
    const bool ok = Close();
    if (!ok)
        RemoveRegularFile(path.c_str());
    return ok;
}

void COutputFile::RemoveRegularFile(const char* path)
{
    struct stat info;
    if (path != nullptr && stat(path, &info) == 0 && S_ISREG(info.st_mode))
        std::remove(path);
}

void COutputFile::Discard()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
        RemoveRegularFile(path_.c_str());
    }
    path_.clear();
    failed_ = false;
}

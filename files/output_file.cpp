#include "files/output_file.h"

#include <climits>
#include <cstring>

#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32

// An existing file is opened and cut to length 0, whatever its hidden or system attributes
// (TRUNCATE_EXISTING and CREATE_ALWAYS refuse those unless the caller repeats the attributes);
// a missing one is created. No sharing: nobody else opens the file until it is closed.
HANDLE OpenTruncatedOrNew(const char* path)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            // Devices (NUL, a pipe) have no length to cut.
            if (GetFileType(file) == FILE_TYPE_DISK && !SetEndOfFile(file)) {
                CloseHandle(file);
                return INVALID_HANDLE_VALUE;
            }
            return file;
        }
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return INVALID_HANDLE_VALUE;  // in use, read-only, a folder, no such folder...
        file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        if (GetLastError() != ERROR_FILE_EXISTS)
            return INVALID_HANDLE_VALUE;
        // Someone created it between the two calls: open that one.
    }
    return INVALID_HANDLE_VALUE;
}

std::FILE* OpenStream(const char* path)
{
    HANDLE file = OpenTruncatedOrNew(path);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "r+b");
    if (stream == nullptr)
        _close(fd);  // closes the handle too
    return stream;
}

#else

// The same rule with an advisory lock standing in for the missing share modes: the lock is taken
// before the file is cut, so a second writer never truncates a file that is being written.
std::FILE* OpenStream(const char* path)
{
    const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat info;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (regular && (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0)) {
        close(fd);
        return nullptr;
    }
    std::FILE* stream = fdopen(fd, "r+b");
    if (stream == nullptr)
        close(fd);
    return stream;
}

#endif

}  // namespace

COutputFile::~COutputFile()
{
    Close();
}

bool COutputFile::Create(const char* path)
{
    Close();
    if (path == nullptr || path[0] == '\0')
        return false;
    file_ = OpenStream(path);
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

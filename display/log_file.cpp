// Opening the log so that a link is refused: O_NOFOLLOW on POSIX systems, the reparse point
// itself on Windows; in both, the opened file's own type and link count decide, so there is no
// window between a check and the open.
#include "display/log_file.h"

#ifdef _WIN32
#include "platform/win32_api.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32

namespace {

bool write_all(HANDLE file, const char* bytes, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
        DWORD done = 0;
        if (WriteFile(file, bytes, chunk, &done, nullptr) == 0 || done == 0) return false;
        bytes += done;
        size -= done;
    }
    return true;
}

} // namespace

bool write_log_file(const char* name, LogWrite how, const char* text, std::size_t text_size,
                    const char* line_end, std::size_t line_end_size) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a symbolic link or junction itself instead of its
    // target; such a file is then refused by its attributes below, before a byte is written.
    HANDLE file =
        CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    bool written =
        GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) != 0 &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
        info.nNumberOfLinks <= 1;
    if (written) {
        LARGE_INTEGER none{};
        if (how == LogWrite::empty_first)
            written = SetEndOfFile(file) != 0; // a new handle stands at the file's start
        else
            written = SetFilePointerEx(file, none, nullptr, FILE_END) != 0;
    }
    written =
        written && write_all(file, text, text_size) && write_all(file, line_end, line_end_size);
    CloseHandle(file);
    return written;
}

#else

namespace {

bool write_all(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, bytes, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

} // namespace

bool write_log_file(const char* name, LogWrite how, const char* text, std::size_t text_size,
                    const char* line_end, std::size_t line_end_size) {
    // O_NONBLOCK: a named pipe without a reader fails to open at once instead of waiting for
    // one. O_TRUNC is left out on purpose: only a file known to be regular is emptied.
    const int fd = ::open(
        name, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat info {};
    bool written = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink <= 1;
    if (written && how == LogWrite::empty_first) written = ::ftruncate(fd, 0) == 0;
    written = written && write_all(fd, text, text_size) && write_all(fd, line_end, line_end_size);
    ::close(fd);
    return written;
}

#endif

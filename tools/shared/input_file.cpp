#include "shared/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

#if defined(_WIN32)
using FileStatus = struct _stat64;
int statusOf(const char* path, FileStatus* status) {
    return _stat64(path, status);
}
int openForReading(const char* path) {
    return _open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
int statusOfOpen(int descriptor, FileStatus* status) {
    return _fstat64(descriptor, status);
}
int readSome(int descriptor, char* to, size_t size) {
    return _read(descriptor, to, unsigned(size > 1u << 30 ? 1u << 30 : size));
}
int closeDescriptor(int descriptor) {
    return _close(descriptor);
}
#else
using FileStatus = struct stat;
int statusOf(const char* path, FileStatus* status) {
    return stat(path, status);
}
// Without O_NONBLOCK, opening a FIFO waits for a writer; the type is checked before reading.
int openForReading(const char* path) {
    return open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}
int statusOfOpen(int descriptor, FileStatus* status) {
    return fstat(descriptor, status);
}
ssize_t readSome(int descriptor, char* to, size_t size) {
    return read(descriptor, to, size);
}
int closeDescriptor(int descriptor) {
    return close(descriptor);
}
#endif

// Why a file of this type is no input, or "" for a regular file.
std::string typeProblem(const FileStatus& status) {
    const auto mode = status.st_mode;
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "it is a folder";
    if (S_ISCHR(mode)) return "it is a device, not a regular file";
#if !defined(_WIN32)
    if (S_ISFIFO(mode)) return "it is a FIFO (named pipe), not a regular file";
    if (S_ISBLK(mode)) return "it is a device, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
#endif
    return "it is not a regular file";
}

std::string sizeText(size_t bytes) {
    if (bytes % (size_t(1) << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

std::string openProblem(int error) {
    return error == ENOENT ? "no such file" : std::strerror(error);
}

} // namespace

std::string readInputFile(const char* path, std::string* bytes, size_t limit) {
    bytes->clear();
    FileStatus status{};
    // The type is known before opening, so no device is opened (which may have effects of its own).
    if (statusOf(path, &status) != 0) return openProblem(errno);
    if (std::string problem = typeProblem(status); !problem.empty()) return problem;
    const std::string tooLarge = "it is larger than " + sizeText(limit) + ", the most an input may hold";
    if (uint64_t(status.st_size) > limit) return tooLarge;
    const int descriptor = openForReading(path);
    if (descriptor < 0) return openProblem(errno);
    // Checked again on what was opened: the name may have been given to another file meanwhile.
    std::string problem = statusOfOpen(descriptor, &status) != 0 ? std::strerror(errno) : typeProblem(status);
    if (problem.empty()) bytes->reserve(size_t(status.st_size));
    char block[65536];
    while (problem.empty()) {
        const auto got = readSome(descriptor, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) problem = std::strerror(errno);
        if (got <= 0) break;
        bytes->append(block, size_t(got));
        // The file grew while it was read.
        if (bytes->size() > limit) problem = tooLarge;
    }
    closeDescriptor(descriptor);
    if (!problem.empty()) bytes->clear();
    return problem;
}

bool sameFile(const char* first, const char* second) {
#if defined(_WIN32)
    // The C run-time has no inode numbers; the file index of the volume is the equivalent.
    auto identity = [](const char* path, BY_HANDLE_FILE_INFORMATION* info) {
        HANDLE file =
            CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const bool known = GetFileInformationByHandle(file, info) != 0;
        CloseHandle(file);
        return known;
    };
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return identity(first, &a) && identity(second, &b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
#else
    struct stat a {
    }, b{};
    return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
#endif
}

bool hasExtension(const char* path, const char* extension) {
    const size_t length = std::strlen(path), extensionLength = std::strlen(extension);
    if (length <= extensionLength) return false;
    for (size_t i = 0; i < extensionLength; ++i)
        if (std::tolower(static_cast<unsigned char>(path[length - extensionLength + i])) !=
            std::tolower(static_cast<unsigned char>(extension[i])))
            return false;
    return true;
}

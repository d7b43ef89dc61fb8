#include "shared/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#if defined(_WIN32)
// The C run-time's descriptors over Windows: no child processes, no signal masks; SIGINT (Ctrl-C)
// and SIGTERM are still delivered to a handler installed with signal().
#include <io.h>
#include <process.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace {

// What the signal handler removes: the temporary files still open and the child writing one.
constexpr int kPendingSlots = 4;
constexpr size_t kPathRoom = 4096;
char gPending[kPendingSlots][kPathRoom];
volatile sig_atomic_t gPendingUsed[kPendingSlots];
volatile pid_t gWriter = 0;

#if defined(_WIN32)
// Both separators count; the C run-time's names for the calls below.
size_t lastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}
int createExclusive(const char* path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
int closeDescriptor(int descriptor) {
    return _close(descriptor);
}
int removeFile(const char* path) {
    return _unlink(path);
}
// rename() there refuses an existing target; this replaces it in one step.
int replaceFile(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
}
int processId() {
    return _getpid();
}
#else
size_t lastSeparator(const std::string& path) {
    return path.rfind('/');
}
int createExclusive(const char* path) {
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
int closeDescriptor(int descriptor) {
    return close(descriptor);
}
int removeFile(const char* path) {
    return unlink(path);
}
int replaceFile(const char* from, const char* to) {
    return rename(from, to);
}
int processId() {
    return getpid();
}
#endif

void writeText(const char* text) {
#if defined(_WIN32)
    const int ignored = _write(2, text, unsigned(std::strlen(text)));
#else
    const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
#endif
    (void)ignored;
}

void removePendingAndExit(int signal) {
#if !defined(_WIN32)
    const pid_t writer = gWriter;
    if (writer > 0) {
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
    }
#endif
    for (int i = 0; i < kPendingSlots; ++i)
        if (gPendingUsed[i]) removeFile(gPending[i]);
    writeText("\nquorlax-capture: interrupted; the output was not written\n");
    _exit(128 + signal);
}

void installHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
#if defined(_WIN32)
    for (int signal : {SIGINT, SIGTERM}) ::signal(signal, removePendingAndExit);
#else
    struct sigaction action {};
    action.sa_handler = removePendingAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
#endif
}

void track(const std::string& path, bool pending) {
#if !defined(_WIN32) // there the handler runs on a thread of its own: nothing to mask
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
#endif
    for (int i = 0; i < kPendingSlots; ++i) {
        if (pending && !gPendingUsed[i]) {
            std::memcpy(gPending[i], path.c_str(), path.size() + 1);
            gPendingUsed[i] = 1;
            break;
        }
        if (!pending && gPendingUsed[i] && path == gPending[i]) gPendingUsed[i] = 0;
    }
#if !defined(_WIN32)
    sigprocmask(SIG_SETMASK, &previous, nullptr);
#endif
}

std::string folderOf(const std::string& path) {
    const size_t slash = lastSeparator(path);
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string openOutputFile(const char* path, OutputFile* file) {
    *file = {path ? path : "", "", -1};
    struct stat existing {};
    if (file->target.empty()) return "no path";
    if (stat(path, &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) return "it is a folder";
        if (!S_ISREG(existing.st_mode)) return "it is not a regular file";
    }
    const std::string folder = folderOf(file->target);
    const size_t slash = lastSeparator(file->target);
    const std::string name = slash == std::string::npos ? file->target : file->target.substr(slash + 1);
    if (name.empty()) return "it names a folder";
    if (file->target.size() + 32 >= kPathRoom) return "the path is too long";
    installHandlers();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = folder + "/." + name + "." + std::to_string(processId()) + "-" +
                                std::to_string(attempt) + ".part";
        const int descriptor = createExclusive(temporary.c_str());
        if (descriptor >= 0) {
            track(temporary, true);
            file->temporary = temporary;
            file->descriptor = descriptor;
            return "";
        }
        if (errno == EEXIST) continue;
        struct stat folderStat {};
        if (errno == ENOENT && stat(folder.c_str(), &folderStat) == 0)
            return "its folder does not take new files";
        return std::strerror(errno);
    }
    return "no free temporary name beside it";
}

std::string commitOutputFile(OutputFile* file) {
    if (file->temporary.empty()) return "nothing was written";
    std::string error;
    if (file->descriptor >= 0 && closeDescriptor(file->descriptor) != 0) error = std::strerror(errno);
    file->descriptor = -1;
    if (error.empty() && replaceFile(file->temporary.c_str(), file->target.c_str()) != 0)
        error = std::strerror(errno);
    if (!error.empty()) removeFile(file->temporary.c_str());
    track(file->temporary, false);
    file->temporary.clear();
    return error;
}

void discardOutputFile(OutputFile* file) {
    if (file->descriptor >= 0) closeDescriptor(file->descriptor);
    file->descriptor = -1;
    if (file->temporary.empty()) return;
    removeFile(file->temporary.c_str());
    track(file->temporary, false);
    file->temporary.clear();
}

void watchOutputWriter(pid_t child) {
    gWriter = child;
}

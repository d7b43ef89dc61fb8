#include "shared/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#if defined(_WIN32)
// The C run-time's descriptors over Windows: no child processes, no signal masks, no symbolic
// links to follow; SIGINT (Ctrl-C) and SIGTERM are still delivered to a handler installed with
// signal().
#include <io.h>
#include <process.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// What the signal handler removes: the temporary files still open and the child writing one.
constexpr int kPendingSlots = 4;
constexpr size_t kPathRoom = 4096;
char gPending[kPendingSlots][kPathRoom];
volatile sig_atomic_t gPendingUsed[kPendingSlots];
volatile pid_t gWriter = 0;
char gProgram[64] = "";

// The longest file name the systems take; the temporary name is cut to fit it.
constexpr size_t kNameRoom = 255;
constexpr char kTemporaryEnd[] = ".part";

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
long processId() {
    return _getpid();
}
bool processRuns(long pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}
ssize_t writeSome(int descriptor, const char* bytes, size_t size) {
    return _write(descriptor, bytes, unsigned(size > 1u << 30 ? 1u << 30 : size));
}
std::string followLinks(const std::string& path, std::string*) {
    return path;
}
void keepPermissions(int, const struct stat&) {}
// The names in `folder` that start with `stem`.
template <typename Visit>
void eachName(const std::string& folder, const std::string& stem, Visit visit) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "/" + stem + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do visit(std::string(found.cFileName));
    while (FindNextFileA(search, &found));
    FindClose(search);
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
long processId() {
    return getpid();
}
// A process of another user still counts as running (EPERM).
bool processRuns(long pid) {
    return kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}
ssize_t writeSome(int descriptor, const char* bytes, size_t size) {
    return write(descriptor, bytes, size);
}
std::string folderOf(const std::string& path);
// Where the symbolic links at `path` lead, as the shell's '>' would write: the file at the end of
// the chain (which need not exist yet).
std::string followLinks(const std::string& path, std::string* error) {
    std::string at = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat link {};
        if (lstat(at.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return at;
        char to[kPathRoom];
        const ssize_t length = readlink(at.c_str(), to, sizeof to - 1);
        if (length <= 0) return at;
        const std::string next(to, size_t(length));
        at = next[0] == '/' ? next : folderOf(at) + "/" + next;
    }
    *error = "its symbolic links go round in a loop";
    return at;
}
// The replacement takes the permissions of the file it replaces, not the default ones.
void keepPermissions(int descriptor, const struct stat& existing) {
    (void)fchmod(descriptor, existing.st_mode & 07777);
}
template <typename Visit>
void eachName(const std::string& folder, const std::string& stem, Visit visit) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir))
        if (std::strncmp(entry->d_name, stem.c_str(), stem.size()) == 0) visit(std::string(entry->d_name));
    closedir(dir);
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
    writeText("\n");
    writeText(gProgram);
    writeText(": interrupted; the output was not written\n");
    _exit(128 + signal);
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

// ".NAME." of the temporary names beside NAME, the name cut so that ".NAME.PID-N.part" stays
// within kNameRoom bytes for any process id and attempt.
std::string temporaryStem(const std::string& name) {
    constexpr size_t kSuffixRoom = 1 + 20 + 1 + 3 + sizeof kTemporaryEnd - 1; // ".PID-N.part"
    return "." + name.substr(0, kNameRoom - 1 - kSuffixRoom) + ".";
}

// Removes the temporary files of `stem` whose writer no longer runs. Only names of exactly the
// form STEM PID-N.part are touched.
void removeStaleTemporaries(const std::string& folder, const std::string& stem) {
    eachName(folder, stem, [&](const std::string& name) {
        const char* at = name.c_str() + stem.size();
        char* end = nullptr;
        const long pid = std::strtol(at, &end, 10);
        if (end == at || *at < '0' || *at > '9' || *end != '-' || pid <= 0) return;
        at = end + 1;
        std::strtol(at, &end, 10);
        if (end == at || *at < '0' || *at > '9' || std::strcmp(end, kTemporaryEnd) != 0) return;
        if (pid != processId() && !processRuns(pid)) removeFile((folder + "/" + name).c_str());
    });
}

} // namespace

void watchInterruptions(const char* program) {
    static bool installed = false;
    if (installed) return;
    installed = true;
    std::strncpy(gProgram, program, sizeof gProgram - 1);
#if defined(_WIN32)
    for (int signal : {SIGINT, SIGTERM}) {
        const auto before = ::signal(signal, removePendingAndExit);
        if (before != SIG_DFL && before != SIG_ERR) ::signal(signal, before);
    }
#else
    struct sigaction action {};
    action.sa_handler = removePendingAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_DFL) continue;
        sigaction(signal, &action, nullptr);
    }
#endif
}

std::string openOutputFile(const char* path, OutputFile* file) {
    *file = {path ? path : "", "", -1};
    if (file->target.empty()) return "no path";
    std::string error;
    file->target = followLinks(file->target, &error);
    if (!error.empty()) return error;
    struct stat existing {};
    const bool exists = stat(file->target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return "it is a folder";
    if (exists && !S_ISREG(existing.st_mode)) return "it is not a regular file";
    const std::string folder = folderOf(file->target);
    const size_t slash = lastSeparator(file->target);
    const std::string name = slash == std::string::npos ? file->target : file->target.substr(slash + 1);
    if (name.empty()) return "it names a folder";
    if (name.size() > kNameRoom) return "its name is longer than 255 bytes";
    if (file->target.size() + 32 >= kPathRoom) return "the path is too long";
    watchInterruptions("quorlax-capture");
    const std::string stem = temporaryStem(name);
    removeStaleTemporaries(folder, stem);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary =
            folder + "/" + stem + std::to_string(processId()) + "-" + std::to_string(attempt) + kTemporaryEnd;
        const int descriptor = createExclusive(temporary.c_str());
        if (descriptor >= 0) {
            track(temporary, true);
            if (exists) keepPermissions(descriptor, existing);
            file->temporary = temporary;
            file->descriptor = descriptor;
            return "";
        }
        if (errno == EEXIST) continue;
        struct stat folderStat {};
        if (errno == ENOENT && stat(folder.c_str(), &folderStat) == 0)
            return "its folder does not take new files";
        if (errno == ENOENT) return "its folder does not exist";
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

std::string writeOutputBytes(OutputFile* file, const void* bytes, size_t size) {
    const char* at = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = writeSome(file->descriptor, at, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const std::string failure = written < 0 ? std::strerror(errno) : "nothing more could be written";
            discardOutputFile(file);
            return failure;
        }
        at += written;
        size -= size_t(written);
    }
    return commitOutputFile(file);
}

std::string writeOutputFile(const char* path, const void* bytes, size_t size) {
    OutputFile file;
    if (std::string unusable = openOutputFile(path, &file); !unusable.empty()) return unusable;
    return writeOutputBytes(&file, bytes, size);
}

void watchOutputWriter(pid_t child) {
    gWriter = child;
}

#include "shared/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// What the signal handler removes: the temporary files still open and the child writing one.
constexpr int kPendingSlots = 4;
constexpr size_t kPathRoom = 4096;
char gPending[kPendingSlots][kPathRoom];
volatile sig_atomic_t gPendingUsed[kPendingSlots];
volatile pid_t gWriter = 0;

void writeText(const char* text) {
    ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void removePendingAndExit(int signal) {
    const pid_t writer = gWriter;
    if (writer > 0) {
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
    }
    for (int i = 0; i < kPendingSlots; ++i)
        if (gPendingUsed[i]) unlink(gPending[i]);
    writeText("\nquorlax-capture: interrupted; the output was not written\n");
    _exit(128 + signal);
}

void installHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = removePendingAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void track(const std::string& path, bool pending) {
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    for (int i = 0; i < kPendingSlots; ++i) {
        if (pending && !gPendingUsed[i]) {
            std::memcpy(gPending[i], path.c_str(), path.size() + 1);
            gPendingUsed[i] = 1;
            break;
        }
        if (!pending && gPendingUsed[i] && path == gPending[i]) gPendingUsed[i] = 0;
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
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
    const size_t slash = file->target.rfind('/');
    const std::string name = slash == std::string::npos ? file->target : file->target.substr(slash + 1);
    if (name.empty()) return "it names a folder";
    if (file->target.size() + 32 >= kPathRoom) return "the path is too long";
    installHandlers();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary =
            folder + "/." + name + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".part";
        const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    if (file->descriptor >= 0 && close(file->descriptor) != 0) error = std::strerror(errno);
    file->descriptor = -1;
    if (error.empty() && rename(file->temporary.c_str(), file->target.c_str()) != 0)
        error = std::strerror(errno);
    if (!error.empty()) unlink(file->temporary.c_str());
    track(file->temporary, false);
    file->temporary.clear();
    return error;
}

void discardOutputFile(OutputFile* file) {
    if (file->descriptor >= 0) close(file->descriptor);
    file->descriptor = -1;
    if (file->temporary.empty()) return;
    unlink(file->temporary.c_str());
    track(file->temporary, false);
    file->temporary.clear();
}

void watchOutputWriter(pid_t child) {
    gWriter = child;
}

#include "capture/encoder.h"

#include "shared/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string findOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (!path) return "";
    for (const char* at = path;; ++at) {
        const char* end = std::strchr(at, ':');
        std::string folder = end ? std::string(at, end) : std::string(at);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + program;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (!end) return "";
        at = end;
    }
}

bool startEncoder(const std::vector<std::string>& arguments, EncoderProcess* encoder) {
    // Descriptors above 10, so moving them to 0, 2 and 3 in the child never overwrites one another.
    int videoPipe[2], soundPipe[2];
    if (pipe2(videoPipe, O_CLOEXEC) != 0) return false;
    if (pipe2(soundPipe, O_CLOEXEC) != 0) {
        close(videoPipe[0]);
        close(videoPipe[1]);
        return false;
    }
    char messagesName[] = "/tmp/quorlax-ffmpeg-XXXXXX";
    const int messages = mkostemp(messagesName, O_CLOEXEC);
    if (messages >= 0) unlink(messagesName);
    const int videoIn = fcntl(videoPipe[0], F_DUPFD_CLOEXEC, 10);
    const int soundIn = fcntl(soundPipe[0], F_DUPFD_CLOEXEC, 10);
    const int messagesOut = messages >= 0 ? fcntl(messages, F_DUPFD_CLOEXEC, 10) : -1;
    close(videoPipe[0]);
    close(soundPipe[0]);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    signal(SIGPIPE, SIG_IGN);
    const pid_t pid = fork();
    if (pid == 0) {
        // Ctrl-C reaches the capture tool only, which stops the encoder itself.
        setpgid(0, 0);
        signal(SIGPIPE, SIG_DFL);
        if (dup2(videoIn, 0) < 0 || dup2(soundIn, 3) < 0 || (messagesOut >= 0 && dup2(messagesOut, 2) < 0))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(videoIn);
    close(soundIn);
    if (messagesOut >= 0) close(messagesOut);
    if (pid < 0) {
        close(videoPipe[1]);
        close(soundPipe[1]);
        if (messages >= 0) close(messages);
        return false;
    }
    watchOutputWriter(pid);
    encoder->pid = pid;
    encoder->video = videoPipe[1];
    encoder->sound = soundPipe[1];
    encoder->messages = messages;
    return true;
}

bool writeToEncoder(int descriptor, const void* bytes, size_t size) {
    const auto* at = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t written = write(descriptor, at, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        at += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

namespace {

void closePipes(EncoderProcess* encoder) {
    if (encoder->video >= 0) close(encoder->video);
    if (encoder->sound >= 0) close(encoder->sound);
    encoder->video = encoder->sound = -1;
}

// The last non-empty line the encoder printed.
std::string lastMessage(int messages) {
    std::string text;
    char block[4096];
    if (messages >= 0 && lseek(messages, 0, SEEK_SET) == 0)
        for (ssize_t got; (got = read(messages, block, sizeof block)) > 0;) text.append(block, size_t(got));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    const size_t newline = text.find_last_of("\r\n");
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

} // namespace

std::string finishEncoder(EncoderProcess* encoder) {
    closePipes(encoder);
    int status = 0;
    while (waitpid(encoder->pid, &status, 0) < 0 && errno == EINTR) {
    }
    watchOutputWriter(0);
    std::string said = lastMessage(encoder->messages);
    if (encoder->messages >= 0) close(encoder->messages);
    encoder->messages = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                        : "signal " + std::to_string(WTERMSIG(status));
    return said.empty() ? "it stopped with " + how : said + " (" + how + ")";
}

void stopEncoder(EncoderProcess* encoder) {
    kill(encoder->pid, SIGKILL);
    finishEncoder(encoder);
}

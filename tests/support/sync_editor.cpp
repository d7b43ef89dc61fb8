#include "support/sync_editor.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

void appendBigEndian(SyncBytes* bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes->push_back(uint8_t(value >> shift));
}

uint32_t bigEndianAt(const SyncBytes& bytes, size_t at) {
    return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 |
           bytes[at + 3];
}

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

const char kClientGreeting[] = "hello, synctracker!";
constexpr size_t kClientGreetingSize = sizeof kClientGreeting - 1;

} // namespace

SyncBytes editorSetKeyBits(uint32_t track, uint32_t row, uint32_t valueBits, uint8_t interpolation) {
    SyncBytes bytes{0};
    appendBigEndian(&bytes, track);
    appendBigEndian(&bytes, row);
    appendBigEndian(&bytes, valueBits);
    bytes.push_back(interpolation);
    return bytes;
}

SyncBytes editorSetKey(uint32_t track, uint32_t row, float value, uint8_t interpolation) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return editorSetKeyBits(track, row, bits, interpolation);
}

SyncBytes editorDeleteKey(uint32_t track, uint32_t row) {
    SyncBytes bytes{1};
    appendBigEndian(&bytes, track);
    appendBigEndian(&bytes, row);
    return bytes;
}

SyncBytes editorSetRow(uint32_t row) {
    SyncBytes bytes{3};
    appendBigEndian(&bytes, row);
    return bytes;
}

SyncBytes editorPause(uint8_t flag) {
    return {4, flag};
}

SyncBytes editorSaveTracks() {
    return {5};
}

SyncBytes operator+(SyncBytes a, const SyncBytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

SyncTestEditor::SyncTestEditor(uint16_t port) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0) return;
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = loopback(port);
    socklen_t size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(listener);
        return;
    }
    listener_ = listener;
    port_ = ntohs(address.sin_port);
}

SyncTestEditor::~SyncTestEditor() {
    dropStudio();
    if (listener_ >= 0) close(listener_);
}

void SyncTestEditor::dropStudio() {
    if (client_ >= 0) close(client_);
    client_ = -1;
    pending_.clear();
    greeted = false;
    requested.clear();
    rows.clear();
}

void SyncTestEditor::pump() {
    if (client_ < 0 && listener_ >= 0) {
        client_ = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client_ < 0) return;
        // Without it a second small message waits for the studio's delayed acknowledgement.
        const int on = 1;
        setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ++connections;
    }
    if (client_ < 0) return;
    uint8_t block[4096];
    for (;;) {
        const ssize_t got = recv(client_, block, sizeof block, MSG_DONTWAIT);
        if (got > 0) {
            pending_.insert(pending_.end(), block, block + got);
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            dropStudio();
            return;
        }
        break;
    }
    parse();
}

void SyncTestEditor::parse() {
    if (!greeted) {
        if (pending_.size() < kClientGreetingSize) return;
        if (std::memcmp(pending_.data(), kClientGreeting, kClientGreetingSize) != 0) malformed = true;
        pending_.erase(pending_.begin(), pending_.begin() + kClientGreetingSize);
        greeted = true;
        send(SyncBytes(greetingReply.begin(), greetingReply.end()));
    }
    while (!pending_.empty()) {
        size_t size = 0;
        if (pending_[0] == 2 && pending_.size() >= 5) {
            size = 5 + bigEndianAt(pending_, 1);
            if (pending_.size() < size) return;
            requested.emplace_back(pending_.begin() + 5, pending_.begin() + long(size));
        } else if (pending_[0] == 3 && pending_.size() >= 5) {
            size = 5;
            rows.push_back(bigEndianAt(pending_, 1));
        } else if (pending_[0] == 2 || pending_[0] == 3) {
            return;
        } else {
            malformed = true;
            pending_.clear();
            return;
        }
        pending_.erase(pending_.begin(), pending_.begin() + long(size));
    }
}

bool SyncTestEditor::send(const SyncBytes& bytes) {
    size_t done = 0;
    // Bounded: a studio that takes nothing for about two seconds counts as gone.
    for (int idle = 0; done < bytes.size() && client_ >= 0 && idle < 2000;) {
        const ssize_t sent =
            ::send(client_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += size_t(sent);
            idle = 0;
        } else if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        } else {
            pollfd writable{client_, POLLOUT, 0};
            poll(&writable, 1, 1);
            ++idle;
        }
    }
    return done == bytes.size();
}

uint16_t freeLoopbackPort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    uint16_t port = 0;
    if (probe >= 0 && bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (probe >= 0) close(probe);
    return port;
}

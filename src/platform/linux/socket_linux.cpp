// Linux implementation of the socket services: non-blocking TCP sockets, connect only.
#include "platform/socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

int32_t linuxResolveAddress(const char* host, uint16_t port, SocketAddress* address) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host, service.c_str(), &hints, &found) != 0 || !found) return 0;
    const bool fits = found->ai_addrlen <= sizeof address->bytes;
    if (fits) {
        std::memcpy(address->bytes, found->ai_addr, found->ai_addrlen);
        address->size = static_cast<uint32_t>(found->ai_addrlen);
    }
    freeaddrinfo(found);
    return fits ? 1 : 0;
}

int64_t linuxOpenConnection(const SocketAddress* address) {
    const auto* target = reinterpret_cast<const sockaddr*>(address->bytes);
    const int descriptor = socket(target->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (descriptor < 0) return -1;
    // The messages are a few bytes each and the editor's cursor should follow at once.
    const int on = 1;
    (void)setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(descriptor, target, address->size) != 0 && errno != EINPROGRESS) {
        close(descriptor);
        return -1;
    }
    return descriptor;
}

int32_t linuxConnectionState(int64_t connection) {
    pollfd watched{static_cast<int>(connection), POLLOUT, 0};
    if (poll(&watched, 1, 0) < 0) return SocketFailed;
    if (watched.revents == 0) return SocketConnecting;
    int failure = 0;
    socklen_t size = sizeof failure;
    if (getsockopt(static_cast<int>(connection), SOL_SOCKET, SO_ERROR, &failure, &size) != 0 || failure != 0)
        return SocketFailed;
    return (watched.revents & (POLLERR | POLLHUP)) ? SocketFailed : SocketConnected;
}

int32_t linuxSendSome(int64_t connection, const void* bytes, int32_t size) {
    for (;;) {
        const ssize_t sent =
            send(static_cast<int>(connection), bytes, static_cast<size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) return static_cast<int32_t>(sent);
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : SocketFailed;
    }
}

int32_t linuxReceiveSome(int64_t connection, void* bytes, int32_t room) {
    for (;;) {
        const ssize_t received =
            recv(static_cast<int>(connection), bytes, static_cast<size_t>(room), MSG_DONTWAIT);
        if (received > 0) return static_cast<int32_t>(received);
        if (received == 0) return room > 0 ? SocketClosed : 0;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : SocketFailed;
    }
}

void linuxCloseConnection(int64_t connection) {
    if (connection >= 0) close(static_cast<int>(connection));
}

constexpr SocketServices kLinuxSocketServices = {
    .resolveAddress = linuxResolveAddress,
    .openConnection = linuxOpenConnection,
    .connectionState = linuxConnectionState,
    .sendSome = linuxSendSome,
    .receiveSome = linuxReceiveSome,
    .closeConnection = linuxCloseConnection,
};

SocketServices gSocketServices = kLinuxSocketServices;

} // namespace

SocketServices* socketServices() {
    return &gSocketServices;
}

void resetSocketServices() {
    gSocketServices = kLinuxSocketServices;
}

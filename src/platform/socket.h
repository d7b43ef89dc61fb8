// Outgoing TCP connections that never wait, for the studio's link to a sync editor. The program
// only connects out; nothing here listens on a port.
#pragma once

#include <cstdint>

// A resolved address with its port, as the system's socket calls take it (big enough for any).
struct SocketAddress {
    uint8_t bytes[128];
    uint32_t size;
};

// Results of connectionState, sendSome and receiveSome besides byte counts.
enum SocketResult : int32_t {
    SocketConnecting = 0, // connectionState: not yet established
    SocketConnected = 1,  // connectionState: established
    SocketFailed = -1,    // refused, reset, unreachable or any other failure
    SocketClosed = -2,    // receiveSome: the other side closed the connection
};

// The services as one record of functions, so tests can replace single entries. Every field is
// always set; a connection is a handle >= 0.
struct SocketServices {
    // Looks up `host` (a name or a numeric IPv4 or IPv6 address) and fills *address for `port`;
    // 1 on success, 0 when the host is unknown. May wait for the system's resolver, so it is called
    // once before any frame, never from a frame.
    int32_t (*resolveAddress)(const char* host, uint16_t port, SocketAddress* address);
    // Starts connecting without waiting; the handle, or -1 when no socket can be made or the
    // connection is refused at once (as it can be on loopback).
    int64_t (*openConnection)(const SocketAddress* address);
    // SocketConnecting, SocketConnected or SocketFailed.
    int32_t (*connectionState)(int64_t connection);
    // Sends up to `size` bytes: the count taken (0 when the system takes none now) or SocketFailed.
    // A connection the other side closed fails here; it never raises a signal.
    int32_t (*sendSome)(int64_t connection, const void* bytes, int32_t size);
    // Receives up to `room` bytes: the count (0 when none are waiting), SocketClosed or SocketFailed.
    int32_t (*receiveSome)(int64_t connection, void* bytes, int32_t room);
    // Closes the connection; -1 is ignored.
    void (*closeConnection)(int64_t connection);
};

// The process-wide socket services, initialised with this system's implementation.
SocketServices* socketServices();
// Puts every field back to this system's implementation.
void resetSocketServices();

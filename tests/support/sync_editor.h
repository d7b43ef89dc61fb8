// A sync editor at the protocol level, for the tests of the studio's link: a server on 127.0.0.1
// that takes one studio at a time, answers its greeting and records what it asks and where it
// plays. Its bytes are written out here by hand, independently of the studio's own coding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using SyncBytes = std::vector<uint8_t>;

// The editor's messages as bytes on the wire.
SyncBytes editorSetKey(uint32_t track, uint32_t row, float value, uint8_t interpolation);
SyncBytes editorSetKeyBits(uint32_t track, uint32_t row, uint32_t valueBits, uint8_t interpolation);
SyncBytes editorDeleteKey(uint32_t track, uint32_t row);
SyncBytes editorSetRow(uint32_t row);
SyncBytes editorPause(uint8_t flag);
SyncBytes editorSaveTracks();
SyncBytes operator+(SyncBytes a, const SyncBytes& b);

class SyncTestEditor {
  public:
    // Listens on 127.0.0.1:port, an ephemeral port when 0; listening() tells whether it could.
    explicit SyncTestEditor(uint16_t port = 0);
    ~SyncTestEditor();
    SyncTestEditor(const SyncTestEditor&) = delete;
    SyncTestEditor& operator=(const SyncTestEditor&) = delete;

    bool listening() const { return listener_ >= 0; }
    uint16_t port() const { return port_; }
    // Takes a waiting studio, reads what it sent and answers a complete client greeting with
    // `greetingReply`. Never waits.
    void pump();
    // Sends the bytes, waiting up to about two seconds for room; false when no studio is connected,
    // it is gone or it takes nothing meanwhile.
    bool send(const SyncBytes& bytes);
    // Closes the studio's connection (a later one is taken again by pump).
    void dropStudio();
    bool connected() const { return client_ >= 0; }

    std::string greetingReply = "hello, demo!";
    int32_t connections = 0;            // studios taken so far
    bool greeted = false;               // the current studio sent "hello, synctracker!"
    bool malformed = false;             // it sent something no client sends
    std::vector<std::string> requested; // the current studio's GET_TRACK names, in order
    std::vector<uint32_t> rows;         // its SET_ROW rows, in order

  private:
    void parse();
    int listener_ = -1;
    int client_ = -1;
    uint16_t port_ = 0;
    SyncBytes pending_;
};

// A port on 127.0.0.1 that nothing listened on a moment ago (for a studio started before its
// editor).
uint16_t freeLoopbackPort();

// Settings of a simulated TNC and of the simulated radio, with the defaults
// that behave like a plain TF firmware on a quiet channel.
#pragma once

// std
#include <cstddef>
#include <cstdint>
#include <string>

namespace tncsim {

struct TncConfig {
    int channels = 10;               // highest channel number, 1..254
    std::string call = "NOCALL";     // base call: channel 0 and channels without own "I" call
    bool extendedPoll = true;        // false: channel 255 answers "INVALID CHANNEL"
    bool emptyPollAsText = false;    // extended poll with nothing pending: code 1 "" instead of code 0
    std::uint32_t frameIntervalMs = 0;  // at most one host frame per main-loop pass of this length
    std::size_t fragmentSize = 0;    // >0: replies leave in pieces of this many bytes
    std::uint32_t fragmentGapMs = 0; // pause between the pieces
    int freeBuffers = 800;           // "@B" with nothing in use
    bool startInHostMode = false;    // power-on mode (false: terminal mode)
    std::size_t monitorLimit = 4000; // monitor items kept on channel 0; older ones are dropped
    std::uint32_t seed = 1;          // for garbled replies, so runs repeat
    int serialBaud = 0;              // >0: the host link runs at this speed (8N1), both ways
    bool sendBeforeDisconnect = false;  // first "D": queued info leaves and is acknowledged first
    std::size_t channelLogLimit = 1 << 20;  // newest bytes of connected info kept per channel and way
};

struct RadioConfig {
    std::uint32_t connectDelayMs = 300;  // SABM .. UA, and DISC .. UA
    std::uint32_t linkFailureMs = 2000;  // connect to nobody: "LINK FAILURE" after this
    std::uint32_t txDelayMs = 20;        // airtime of one info frame
    std::uint32_t ackDelayMs = 100;      // frame sent .. acknowledged
};

}  // namespace tncsim

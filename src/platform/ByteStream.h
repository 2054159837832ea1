// The byte stream under a TNC port: a serial tty, a TCP connection, or a test
// double. Reads never block; waits sleep on the descriptor instead of spinning.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace norva {

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Stores what is waiting (at most buf.size() bytes) and returns the count;
    // 0 when nothing is waiting or on any error. Never blocks.
    virtual int read(std::span<std::uint8_t> buf) = 0;
    // Writes the bytes; returns the count written, 0 on error. Bounded in time
    // (20 ms + 20 ms per byte, as a serial port's write time-out).
    virtual int write(std::span<const std::uint8_t> data) = 0;
    // Sleeps until bytes may be waiting or timeoutMs passed. True when readable.
    virtual bool waitReadable(int timeoutMs) = 0;
    // True once the device has gone away (hang-up, unplugged adapter, closed peer).
    virtual bool broken() const = 0;
    // The descriptor, for the engine's poll set; -1 when there is none.
    virtual int fd() const { return -1; }
};

// Opens a tty: raw 8N1, no flow control, DTR and RTS off, non-blocking reads.
// Returns null and fills *error when the device cannot be opened.
std::unique_ptr<ByteStream> openSerialStream(const std::string& device, int baud,
                                             std::string* error);

// A TCP stream to host:port (ser2net, remote TNCs, the simulator). Returns at
// once: the host is resolved and connected in the background; bytes written
// meanwhile go out once the connection stands, and a connection that cannot
// be made shows as a broken stream. Null only for an impossible address.
std::unique_ptr<ByteStream> openTcpStream(const std::string& host, int port, std::string* error);

// Opens by port name: "tcp:HOST:PORT" is TCP, "comN" is /dev/ttyS<N-1>, a name
// starting with "/" is a device path used as given. Other names are tried as
// paths relative to /dev. The name's case is never changed.
std::unique_ptr<ByteStream> openStreamByName(const std::string& name, int baud, std::string* error);

}  // namespace norva

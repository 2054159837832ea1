// CTncPort: one byte-stream interface over the kinds of TNC link: a serial
// tty or TCP stream, the TFPCR driver (not available on Linux: opening it
// fails like a missing port), and the in-process CVirtualTnc ("dde").
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/ByteStream.h"

namespace norva {

class CVirtualTnc;
class TfpcrDriver;

enum class PortKind { None = 0, Serial = 1, Tfpcr = 2, Dde = 3 };

// Opens a serial/TCP stream by port name; injectable so tests can hand out fakes.
using StreamOpener =
    std::function<std::unique_ptr<ByteStream>(const std::string& name, int baud, std::string* error)>;

// The kind a port name selects, decided on a lower-cased copy; the name itself
// keeps its case because Linux device paths are case-sensitive.
PortKind portKindOf(const std::string& name);
// TFPCR interrupt number from the last three characters ("tfpcr253" -> 253), 0 when none.
int tfpcrInterrupt(const std::string& name);

class CTncPort {
public:
    // tfpcr: the driver, or null where there is none (Linux).
    CTncPort(StreamOpener opener, CVirtualTnc* virtualTnc, TfpcrDriver* tfpcr = nullptr);

    // The handle: 1 for dde, -1 when the port cannot be opened, otherwise >= 0.
    int open(const std::string& name, int baud);
    void close();
    int read(std::span<std::uint8_t> buf);
    int write(std::span<const std::uint8_t> data);
    // Sleeps up to timeoutMs for bytes; the virtual TNC answers at once
    // whether its reply is waiting, without sleeping.
    bool waitReadable(int timeoutMs);

    bool isOpen() const { return handle_ != -1; }
    bool broken() const { return stream_ && stream_->broken(); }
    PortKind kind() const { return kind_; }
    int fd() const { return stream_ ? stream_->fd() : -1; }
    const std::string& lastError() const { return error_; }

private:
    StreamOpener opener_;
    CVirtualTnc* virtualTnc_;
    TfpcrDriver* tfpcr_;
    int interrupt_ = 0;
    PortKind kind_ = PortKind::None;
    int handle_ = -1;
    std::unique_ptr<ByteStream> stream_;
    std::string error_;
};

}  // namespace norva

// CTncPort: serial/TCP, TFPCR and the in-process TNC behind one interface.
#include "hostmode/TncPort.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "hostmode/TfpcrDriver.h"
#include "hostmode/VirtualTnc.h"
#include "platform/Text.h"

namespace norva {

PortKind portKindOf(const std::string& name) {
    const std::string lower = toLower(name);
    if (lower.starts_with("tfpcr")) return PortKind::Tfpcr;
    if (lower.starts_with("dde")) return PortKind::Dde;
    return PortKind::Serial;
}

int tfpcrInterrupt(const std::string& name) {
    if (name.size() < 3) return 0;
    const std::string tail = name.substr(name.size() - 3);
    for (char c : tail)
        if (c < '0' || c > '9') return 0;
    return std::atoi(tail.c_str());
}

CTncPort::CTncPort(StreamOpener opener, CVirtualTnc* virtualTnc, TfpcrDriver* tfpcr)
    : opener_(std::move(opener)), virtualTnc_(virtualTnc), tfpcr_(tfpcr) {}

int CTncPort::open(const std::string& name, int baud) {
    close();
    error_.clear();
    switch (portKindOf(name)) {
        case PortKind::Tfpcr:
            if (!tfpcr_) {
                error_ = "no TFPCR driver";
                return -1;
            }
            kind_ = PortKind::Tfpcr;
            interrupt_ = tfpcrInterrupt(name);
            handle_ = interrupt_;
            return handle_;
        case PortKind::Dde:
            if (!virtualTnc_) return -1;
            kind_ = PortKind::Dde;
            handle_ = 1;
            return handle_;
        case PortKind::Serial:
        case PortKind::None:
            break;
    }
    if (!opener_) return -1;
    stream_ = opener_(name, baud, &error_);
    if (!stream_) return -1;
    kind_ = PortKind::Serial;
    handle_ = stream_->fd() >= 0 ? stream_->fd() : 0;
    return handle_;
}

void CTncPort::close() {
    stream_.reset();
    handle_ = -1;
    kind_ = PortKind::None;
}

int CTncPort::read(std::span<std::uint8_t> buf) {
    if (kind_ == PortKind::Dde) return virtualTnc_->read(buf);
    if (kind_ == PortKind::Tfpcr) return tfpcrRead(*tfpcr_, interrupt_, buf);
    return stream_ ? stream_->read(buf) : 0;
}

int CTncPort::write(std::span<const std::uint8_t> data) {
    if (kind_ == PortKind::Dde) return virtualTnc_->write(data);
    if (kind_ == PortKind::Tfpcr) return tfpcrWrite(*tfpcr_, interrupt_, data);
    return stream_ ? stream_->write(data) : 0;
}

bool CTncPort::waitReadable(int timeoutMs) {
    // Waiting would not make the in-process TNC answer: it has or it has not.
    if (kind_ == PortKind::Dde) return virtualTnc_->hasReply();
    if (kind_ == PortKind::Tfpcr) {
        // The driver has no descriptor to sleep on: look once a millisecond.
        for (int waited = 0;; ++waited) {
            if (tfpcr_->status(interrupt_) != 0) return true;
            if (waited >= timeoutMs) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (!stream_) return false;
    return stream_->waitReadable(timeoutMs);
}

}  // namespace norva

// What the remote command server needs from other subsystems, as small
// interfaces it takes by reference: the transfer jobs (text and binary files,
// memory texts, message capture, automatic #BIN# reception), the gateway
// behind //Connect, and the in-band markers handled elsewhere (7Plus,
// LOGIN: prompts). The Null* classes refuse or ignore everything, so the
// server works on its own and tests can override single operations.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace norva {

class CTncChannel;
class CGatewayJob;

// Starts the transfer jobs the remote commands ask for. Every operation
// returns false when the job could not be started (file unreadable, queue
// full, ...); the server then answers the station itself. "promptAfter"
// asks the job to send the remote prompt when it ends.
class RemoteTransfers {
public:
    virtual ~RemoteTransfers() = default;
    enum class Place { SendSlot, Queue };
    // A text file, without stamp and end marker.
    virtual bool sendTextFile(CTncChannel& ch, const std::filesystem::path& file, Place where,
                              bool promptAfter) = 0;
    // A text held in memory (CP437 bytes), put directly into the send slot;
    // the name is what the transfer status shows ("Clip", "Remote", "Run").
    virtual bool sendMemoryText(CTncChannel& ch, std::string_view name, std::string oemText,
                                bool promptAfter) = 0;
    // A #BIN# send job for the file, added to the transfer queue.
    virtual bool sendBinFile(CTncChannel& ch, const std::filesystem::path& file, bool promptAfter) = 0;
    // A #BIN# receive job into the (existing, empty) file, put into the
    // file-receive slot; the station starts its sender.
    virtual bool receiveBinFile(CTncChannel& ch, const std::filesystem::path& file, bool promptAfter) = 0;
    // A YAPP send job for the file, added to the transfer queue.
    virtual bool sendYappFile(CTncChannel& /*ch*/, const std::filesystem::path& /*file*/, bool /*promptAfter*/) {
        return false;
    }
    // A YAPP receive job into the file (which does not exist yet; its
    // ".part" is resumed), put into the file-receive slot.
    virtual bool receiveYappFile(CTncChannel& /*ch*/, const std::filesystem::path& /*file*/, bool /*promptAfter*/) {
        return false;
    }
    // A capture job appending every received record to the (existing,
    // empty) file, in the remote-input slot, with the heading written first.
    virtual bool captureMessage(CTncChannel& ch, const std::filesystem::path& file,
                                std::string_view oemHeading) = 0;
    // A #BIN# header arrived while AutoBin is on: start the automatic
    // reception from this received text.
    virtual bool autoBin(CTncChannel& ch, std::string_view receivedText) = 0;
};

class NullRemoteTransfers : public RemoteTransfers {
public:
    bool sendTextFile(CTncChannel&, const std::filesystem::path&, Place, bool) override { return false; }
    bool sendMemoryText(CTncChannel&, std::string_view, std::string, bool) override { return false; }
    bool sendBinFile(CTncChannel&, const std::filesystem::path&, bool) override { return false; }
    bool receiveBinFile(CTncChannel&, const std::filesystem::path&, bool) override { return false; }
    bool captureMessage(CTncChannel&, const std::filesystem::path&, std::string_view) override { return false; }
    bool autoBin(CTncChannel&, std::string_view) override { return false; }
};

// The gateway behind //Connect: makes the home-side job for the destination
// the station typed. Null when there is no gateway.
class RemoteGateway {
public:
    virtual ~RemoteGateway() = default;
    virtual std::unique_ptr<CGatewayJob> makeGateway(CTncChannel& /*home*/, std::string_view /*destination*/) {
        return nullptr;
    }
};

// In-band markers that belong to other subsystems.
class RemoteMarkers {
public:
    virtual ~RemoteMarkers() = default;
    // " GO_7+." arrived while AutoBin is on: start the 7Plus capture.
    virtual void sevenPlus(CTncChannel& /*ch*/, std::string_view /*receivedText*/) {}
    // "LOGIN:" arrived: the text from "LOGIN:" up to the first CR (upper
    // case), to be stored for the password answering.
    virtual void loginText(CTncChannel& /*ch*/, std::string_view /*text*/) {}
};

}  // namespace norva

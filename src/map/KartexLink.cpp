// The conversation with the map program over the bus.
#include "map/KartexLink.h"

#include "dde/DdeClient.h"
#include "map/MapAvailability.h"

namespace norva {

namespace {

using Status = DdeCallResult::Status;

// A peer that answers with one of our protocol's errors (an unknown item)
// has the topic; only a missing service or object, a time-out or a foreign
// error means there is no map.
bool speaksMapProtocol(const DdeCallResult& r) {
    if (r.status == Status::Done) return true;
    return r.status == Status::Error && r.errorName.rfind("org.norva.Dde.Error.", 0) == 0;
}

}  // namespace

std::string cutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    std::size_t end = limit;
    // Back off over continuation bytes to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

CKartexLink::CKartexLink(DdeClient* client, MapAvailability& availability, MapTimeouts timeouts)
    : client_(client), availability_(availability), timeouts_(timeouts),
      self_(std::make_shared<CKartexLink*>(this)) {}

CKartexLink::~CKartexLink() = default;

template <class F>
auto CKartexLink::guarded(F f) {
    std::weak_ptr<CKartexLink*> alive = self_;
    ++pending_;
    return [alive, f = std::move(f)](const DdeCallResult& r) mutable {
        const auto self = alive.lock();
        if (!self) return;
        --(*self)->pending_;
        f(**self, r);
    };
}

void CKartexLink::connect(std::function<void(bool)> done) {
    firstFailure_ = false;
    if (!availability_.available()) {
        done(false);
        return;
    }
    if (!client_) {
        connected_ = false;
        firstFailure_ = availability_.connectFailed();
        done(false);
        return;
    }
    auto answered = guarded([done](CKartexLink& link, const DdeCallResult& r) {
        link.connected_ = speaksMapProtocol(r);
        if (!link.connected_) link.firstFailure_ = link.availability_.connectFailed();
        done(link.connected_);
    });
    // Asking for the selected station has no effect on the map: it tells
    // whether the service and its topic are there.
    if (client_->request(kMapService, kMapTopic, "STATION", std::move(answered), timeouts_.connectUsec)) return;
    --pending_;
    connected_ = false;
    firstFailure_ = availability_.connectFailed();
    done(false);
}

void CKartexLink::disconnect() { connected_ = false; }

void CKartexLink::execute(std::string_view text, std::function<void(bool)> done) {
    if (!availability_.available() || !connected_ || !client_) {
        done(false);
        return;
    }
    auto answered = guarded([done](CKartexLink& link, const DdeCallResult& r) {
        // A map that is gone or does not answer ends the conversation.
        if (r.status == Status::TimedOut || r.status == Status::NoPeer) link.connected_ = false;
        done(true);
    });
    if (client_->execute(kMapService, kMapTopic, text, std::move(answered), timeouts_.callUsec)) return;
    --pending_;
    done(false);
}

void CKartexLink::requestResult(std::function<void(std::string)> done) {
    request("RESULT", kMapResultLimit, std::move(done));
}

void CKartexLink::requestStation(std::function<void(std::string)> done) {
    request("STATION", kMapStationLimit, std::move(done));
}

void CKartexLink::request(std::string_view item, std::size_t limit, std::function<void(std::string)> done) {
    if (!connected_ || !client_) {
        done({});
        return;
    }
    auto answered = guarded([done, limit](CKartexLink& link, const DdeCallResult& r) {
        if (r.status == Status::TimedOut || r.status == Status::NoPeer) link.connected_ = false;
        done(r.status == Status::Done ? cutUtf8(r.value, limit) : std::string());
    });
    if (client_->request(kMapService, kMapTopic, item, std::move(answered), timeouts_.callUsec)) return;
    --pending_;
    done({});
}

}  // namespace norva

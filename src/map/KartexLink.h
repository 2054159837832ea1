// CKartexLink: one conversation with the map program, the DDE service
// "KXWIN", topic "MAP", reached over the bus. Nothing here waits: connect,
// execute and the two requests each report through a callback, from the
// bus's process() on the engine thread (or at once when nothing could be
// sent). A map that owns its name but never answers costs each call its
// time-out, and the first time-out ends the conversation, so a chain of
// calls on a hung map ends after one time-out instead of one per call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace norva {

class DdeClient;
class MapAvailability;

inline constexpr std::string_view kMapService = "KXWIN";
inline constexpr std::string_view kMapTopic = "MAP";
inline constexpr std::size_t kMapResultLimit = 2048;
inline constexpr std::size_t kMapStationLimit = 255;

struct MapTimeouts {
    std::uint64_t connectUsec = 5'000'000;  // the question whether service and topic exist
    std::uint64_t callUsec = 20'000'000;    // each execute and request
};

class CKartexLink {
public:
    // client null: no bus, every connect fails.
    CKartexLink(DdeClient* client, MapAvailability& availability, MapTimeouts timeouts = {});
    // Calls still on their way are forgotten: their callbacks never run.
    ~CKartexLink();
    CKartexLink(const CKartexLink&) = delete;
    CKartexLink& operator=(const CKartexLink&) = delete;

    // With the map flag off: done(false) at once and nothing is asked.
    // Otherwise asks whether "KXWIN" has the topic "MAP"; done(true) once it
    // has. A failed connect switches the flag off; firstFailure() then tells
    // whether this was the first failure of the run (the one to report).
    void connect(std::function<void(bool)> done);
    void disconnect();
    bool connected() const { return connected_; }
    bool firstFailure() const { return firstFailure_; }

    // done(false) at once when the flag is off or there is no conversation;
    // else done(true) once the map answered or the time-out passed (a
    // refused or lost execute is not reported).
    void execute(std::string_view text, std::function<void(bool)> done);
    // The item "RESULT", at most kMapResultLimit bytes; empty without an answer.
    void requestResult(std::function<void(std::string)> done);
    // The item "STATION" (the station selected on the map), at most kMapStationLimit bytes.
    void requestStation(std::function<void(std::string)> done);

    // Calls sent and not yet answered.
    int pending() const { return pending_; }

private:
    void request(std::string_view item, std::size_t limit, std::function<void(std::string)> done);
    // Runs in every answer: false when the link is gone meanwhile.
    template <class F>
    auto guarded(F f);

    DdeClient* client_;
    MapAvailability& availability_;
    MapTimeouts timeouts_;
    bool connected_ = false;
    bool firstFailure_ = false;
    int pending_ = 0;
    // Answers that arrive after the link is gone find this expired.
    std::shared_ptr<CKartexLink*> self_;
};

// At most limit bytes of a UTF-8 text, cut before a character that would not fit whole.
std::string cutUtf8(std::string_view text, std::size_t limit);

}  // namespace norva

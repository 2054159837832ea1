// The map commands of the menus and the route dialog's conversation.
#include "map/MapMenu.h"

#include "channel/TncChannel.h"
#include "map/KartexLink.h"
#include "map/MapOperations.h"
#include "map/MapProgram.h"
#include "platform/Text.h"

namespace norva {

namespace {

// The alias list's rule where it has one; else any text without blanks.
bool showableCall(std::string_view call) {
    return !call.empty() && call.find_first_of(" \t\r\n") == std::string_view::npos;
}

// Switches the flag on and connects a conversation that lives until the
// command is over; work(link, finish) runs when the map is there.
void reachMap(MapProgram& map, MapFound done, std::function<void(CKartexLink&, Then)> work) {
    map.availability().switchOn();
    std::shared_ptr<CKartexLink> link = map.newLink();
    link->connect([&map, link, done, work](bool ok) {
        if (!ok) {
            map.connectFailed(*link);
            done(false);
            return;
        }
        // The last step holds the conversation, so it ends with the command.
        work(*link, [link, done] {
            link->disconnect();
            done(true);
        });
    });
}

}  // namespace

void showClipboardStation(MapProgram& map, std::string_view clipboardText, MapFound done) {
    const std::string call = map.resolve(clipboardText);
    reachMap(map, std::move(done), [call](CKartexLink& link, Then finish) {
        if (!showableCall(call)) return finish();
        showStation(link, call, std::move(finish));
    });
}

void showCurrentRoute(MapProgram& map, const CTncChannel* channel, MapFound done) {
    std::string node, destination;
    if (channel && channel->linkState().linkActive() && !channel->linkState().destCall().empty()) {
        node = map.resolve(channel->linkState().defaultNode());
        destination = map.resolve(channel->linkState().destCall());
    }
    reachMap(map, std::move(done), [node, destination](CKartexLink& link, Then finish) {
        if (destination.empty()) return finish();
        showRouteTo(link, node, destination, [finish](std::string) { finish(); });
    });
}

RouteSession::RouteSession(MapProgram& map) : map_(map), link_(map.newLink()) {}

RouteSession::~RouteSession() = default;

void RouteSession::open(MapFound done) {
    map_.availability().switchOn();
    link_->connect([this, done](bool ok) {
        if (!ok) map_.connectFailed(*link_);
        done(ok);
    });
}

void RouteSession::close() { link_->disconnect(); }

bool RouteSession::connected() const { return link_->connected(); }

void RouteSession::lookStation(std::function<void(std::string)> done) {
    if (looking_ || !link_->connected()) return;
    looking_ = true;
    link_->requestStation([this, done](std::string station) {
        looking_ = false;
        done(toUpper(station));
    });
}

void RouteSession::showRoute(std::string_view start, std::string_view destination,
                             std::function<void(std::string)> done) {
    // Unlike the channel's route, a failed query shows nothing at all.
    getRoute(*link_, start, destination, [this, to = toUpper(destination), done](std::string route) {
        if (icontains(route, "Fehler")) return done(std::move(route));
        auto shared = std::make_shared<std::string>(std::move(route));
        CKartexLink& link = *link_;
        runSteps({[&link, shared](Then next) { norva::showRoute(link, *shared, 1, std::move(next)); },
                  [&link, shared](Then next) { norva::showRoute(link, *shared, 2, std::move(next)); },
                  [&link, to](Then next) { showStation(link, to, std::move(next)); }},
                 [shared, done] { done(*shared); });
    });
}

}  // namespace norva

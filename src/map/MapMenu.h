// The operator's map commands, run on the engine thread: each switches the
// map flag on, reaches the map and does its work over a conversation of its
// own, then reports whether the map was found (the caller shows the
// "not found" message box). The route dialog's conversation is a
// RouteSession, held while the dialog is open.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace norva {

class CKartexLink;
class CTncChannel;
class MapProgram;

using MapFound = std::function<void(bool found)>;

// "Station zeigen": the clipboard's text (an alias becomes its call) shown
// on the map when it is a callsign.
void showClipboardStation(MapProgram& map, std::string_view clipboardText, MapFound done);
// "aktuelle Route anzeigen": the route from the channel's entry node to its
// destination, when the channel is connected. channel may be null.
void showCurrentRoute(MapProgram& map, const CTncChannel* channel, MapFound done);

class RouteSession {
public:
    explicit RouteSession(MapProgram& map);
    ~RouteSession();
    RouteSession(const RouteSession&) = delete;
    RouteSession& operator=(const RouteSession&) = delete;

    // Switches the flag on and connects; done(false): no map.
    void open(MapFound done);
    void close();
    bool connected() const;
    // The station selected on the map, upper case; nothing while the last
    // question is still open (the dialog asks once a second).
    void lookStation(std::function<void(std::string)> done);
    // The route between the two calls shown on the map; done(route or error text).
    void showRoute(std::string_view start, std::string_view destination, std::function<void(std::string)> done);

private:
    MapProgram& map_;
    std::unique_ptr<CKartexLink> link_;
    bool looking_ = false;
};

}  // namespace norva

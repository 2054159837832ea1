// The map commands as chains of asynchronous calls.
#include "map/MapOperations.h"

#include <memory>

#include "map/KartexLink.h"
#include "map/MapAvailability.h"
#include "platform/Text.h"

namespace norva {

namespace {

constexpr std::size_t kScriptStationLimit = 80;

// A call as the map is told it: upper case, without control characters or
// the comma that separates a command's arguments (calls come from the air).
std::string mapCall(std::string_view call) {
    std::string out;
    for (char c : toUpper(call))
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F && c != ',') out += c;
    return out;
}

struct StepRunner : std::enable_shared_from_this<StepRunner> {
    std::vector<Step> steps;
    std::size_t at = 0;
    Then done;
    bool looping = false;
    bool advance = false;

    // A step that calls next at once only sets advance; the loop below takes
    // the next step, so chains run flat.
    void next() {
        advance = true;
        if (looping) return;
        looping = true;
        const auto keep = shared_from_this();
        while (advance) {
            advance = false;
            if (at == steps.size()) {
                looping = false;
                if (Then d = std::move(done)) d();
                return;
            }
            Step step = std::move(steps[at++]);
            step([keep] { keep->next(); });
        }
        looping = false;
    }
};

}  // namespace

void runSteps(std::vector<Step> steps, Then done) {
    auto runner = std::make_shared<StepRunner>();
    runner->steps = std::move(steps);
    runner->done = std::move(done);
    runner->next();
}

bool isRouteError(std::string_view result) { return result.find("Fehler") != std::string_view::npos; }

void showStation(CKartexLink& link, std::string_view call, Then done) {
    const std::string up = mapCall(call);
    if (up.empty()) {
        done();
        return;
    }
    link.execute("SelStn:" + up, [&link, up, done](bool sent) {
        if (!sent) {
            done();
            return;
        }
        link.execute("MarkStn:" + up, [done](bool) { done(); });
    });
}

void markStation(CKartexLink& link, std::string_view call, Then done) {
    const std::string up = mapCall(call);
    if (up.empty()) {
        done();
        return;
    }
    link.execute("MarkStn:" + up, [done](bool) { done(); });
}

void drawLink(CKartexLink& link, std::string_view a, std::string_view b, Then done) {
    if (!link.connected()) {
        done();
        return;
    }
    link.execute("DrawLink:" + mapCall(a) + "," + mapCall(b), [done](bool) { done(); });
}

void getRoute(CKartexLink& link, std::string_view start, std::string_view destination, ThenText done) {
    const std::string from = mapCall(start);
    const std::string to = mapCall(destination);
    if (from.empty() || to.empty()) return done(std::string(kRouteNoEnds));
    if (from == to) return done(std::string(kRouteSameEnds));
    if (!link.connected()) return done(std::string(kRouteNoMap));
    link.execute("GetRoute:" + from + "," + to, [&link, done](bool sent) {
        if (!sent) return done(std::string(kRouteSendFailed));
        link.requestResult([done](std::string result) {
            if (result == kMapNoRouteAnswer) result = kRouteNotFound;
            done(std::move(result));
        });
    });
}

std::vector<std::string> routeStations(std::string_view route) {
    std::vector<std::string> out;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = route.find(',', at);
        std::string_view part = route.substr(at, comma == std::string_view::npos ? route.npos : comma - at);
        while (!part.empty() && (part.front() == ' ' || part.front() == '\t')) part.remove_prefix(1);
        out.emplace_back(part);
        if (comma == std::string_view::npos) break;
        at = comma + 1;
    }
    return out;
}

void showRoute(CKartexLink& link, std::string_view route, int mode, Then done) {
    if (!link.connected() || route.empty() || (mode != 1 && mode != 2)) {
        done();
        return;
    }
    const std::vector<std::string> stations = routeStations(route);
    std::vector<Step> steps;
    steps.push_back([&link, first = stations.front()](Then next) {
        if (first.empty()) return next();
        showStation(link, first, std::move(next));
    });
    for (std::size_t i = 1; i < stations.size(); ++i) {
        if (mode == 1)
            steps.push_back([&link, a = stations[i - 1], b = stations[i]](Then next) {
                drawLink(link, a, b, std::move(next));
            });
        else
            steps.push_back([&link, s = stations[i]](Then next) { markStation(link, s, std::move(next)); });
    }
    runSteps(std::move(steps), std::move(done));
}

void showRouteTo(CKartexLink& link, std::string_view start, std::string_view destination, ThenText done) {
    getRoute(link, start, destination, [&link, to = std::string(destination), done](std::string route) {
        auto shared = std::make_shared<std::string>(std::move(route));
        std::vector<Step> steps;
        if (!isRouteError(*shared)) {
            steps.push_back([&link, shared](Then next) { showRoute(link, *shared, 1, std::move(next)); });
            steps.push_back([&link, shared](Then next) { showRoute(link, *shared, 2, std::move(next)); });
        }
        steps.push_back([&link, to](Then next) { showStation(link, to, std::move(next)); });
        runSteps(std::move(steps), [shared, done] { done(*shared); });
    });
}

void stationInfo(CKartexLink& link, std::string_view call, ThenText done) {
    const std::string up = mapCall(call);
    if (up.empty()) return done({});
    link.execute("GetStnInfo:" + up, [&link, done](bool sent) {
        if (!sent) return done({});
        link.requestResult([done](std::string info) {
            if (toLower(info) == kMapNoInfoAnswer) info.clear();
            done(std::move(info));
        });
    });
}

std::string appendRouteToScript(std::string_view script, std::string_view route) {
    bool skipFirst = !script.empty();
    std::string added;
    for (const std::string& raw : routeStations(route)) {
        if (skipFirst) {
            skipFirst = false;
            continue;
        }
        std::string station;
        for (char c : raw)
            if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) station += c;
        station = cutUtf8(trim(station), kScriptStationLimit);
        if (station.empty()) continue;
        added += "c " + station + "\r\n**waitfor connected\r\n";
    }
    if (added.empty()) return std::string(script);
    return script.empty() ? "**" + added : std::string(script) + added;
}

}  // namespace norva

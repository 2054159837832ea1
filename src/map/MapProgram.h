// What every user of the map program shares: the bus client, the one
// program-wide map flag, the alias list that turns an alias into the call
// it stands for, and the notice given once when no map is found.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "map/KartexLink.h"
#include "map/MapAvailability.h"

namespace norva {

class DdeClient;

// The line system.log gets the first time no map program is found.
inline constexpr std::string_view kMapNotFoundLog = "Kartex (KXWIN) nicht gefunden, Kartenanzeige aus\r\n";
// The operator's message box when a map command finds no map.
inline constexpr std::string_view kMapNotFoundCaption = "Norva <-> Kartex";
inline constexpr std::string_view kMapNotFoundText =
    "Kartex nicht gefunden !\rBitte laden Sie Kartex und \rversuchen Sie es erneut.";

class MapProgram {
public:
    // client null: no bus. notFound receives kMapNotFoundLog once.
    MapProgram(DdeClient* client, MapAvailability availability, std::filesystem::path aliasFile,
               std::function<void(std::string_view)> notFound, MapTimeouts timeouts = {});
    MapProgram(const MapProgram&) = delete;
    MapProgram& operator=(const MapProgram&) = delete;

    MapAvailability& availability() { return availability_; }
    const MapAvailability& availability() const { return availability_; }
    std::unique_ptr<CKartexLink> newLink() {
        return std::make_unique<CKartexLink>(client_, availability_, timeouts_);
    }
    // Upper case; an alias listed in alias.dat becomes the call it stands for.
    std::string resolve(std::string_view callOrAlias) const;
    // After a failed connect: the notice, when this was the run's first failure.
    void connectFailed(const CKartexLink& link);

    // A line per state change of the map link jobs, when set.
    void setTrace(std::function<void(std::string_view)> trace) { trace_ = std::move(trace); }
    void trace(std::string_view line) const {
        if (trace_) trace_(line);
    }

private:
    DdeClient* client_;
    MapAvailability availability_;
    std::filesystem::path aliasFile_;
    std::function<void(std::string_view)> notFound_;
    MapTimeouts timeouts_;
    std::function<void(std::string_view)> trace_;
};

}  // namespace norva

// The map commands, built on a conversation's executes and requests, each
// an asynchronous operation that calls its continuation when it is over
// (at once when there is nothing to send). Callsigns are sent in upper case,
// without control characters and commas.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

class CKartexLink;

using Then = std::function<void()>;
using ThenText = std::function<void(std::string)>;

// One step of a chain: it does its work and then calls next (now or later).
using Step = std::function<void(Then next)>;
// Runs the steps one after the other, then done. Steps that finish at once
// do not nest, so a long chain does not deepen the stack.
void runSteps(std::vector<Step> steps, Then done);

// The error texts of a route query; each contains "Fehler".
inline constexpr std::string_view kRouteNoEnds = "Fehler: keine Quelle oder kein Ziel";
inline constexpr std::string_view kRouteSameEnds = "Fehler: Quelle = Ziel";
inline constexpr std::string_view kRouteNoMap = "Fehler: Kartex nicht gefunden.";
inline constexpr std::string_view kRouteSendFailed = "Fehler bei \xC3\x9C" "bertragung zu Kartex";
inline constexpr std::string_view kRouteNotFound = "Fehler: keinen Weg gefunden.";
// What the map answers when it knows no route / no station information.
inline constexpr std::string_view kMapNoRouteAnswer = "6";
inline constexpr std::string_view kMapNoInfoAnswer = "3";

// True for a route result that is one of the error texts.
bool isRouteError(std::string_view result);

// "SelStn:CALL", then (only when that was sent) "MarkStn:CALL"; nothing for an empty call.
void showStation(CKartexLink& link, std::string_view call, Then done);
// "MarkStn:CALL"; nothing for an empty call.
void markStation(CKartexLink& link, std::string_view call, Then done);
// "DrawLink:A,B", only while connected.
void drawLink(CKartexLink& link, std::string_view a, std::string_view b, Then done);
// "GetRoute:START,DEST" and the map's RESULT, or one of the error texts.
void getRoute(CKartexLink& link, std::string_view start, std::string_view destination, ThenText done);
// Mode 1: the first station shown, then a link drawn to each next one.
// Mode 2: the first station shown, then each next one marked.
void showRoute(CKartexLink& link, std::string_view route, int mode, Then done);
// The route between two stations drawn (both modes) unless it is an error,
// then the destination shown; done(route or error text).
void showRouteTo(CKartexLink& link, std::string_view start, std::string_view destination, ThenText done);
// "GetStnInfo:CALL" and the map's RESULT; empty for the answer "3" or without a map.
void stationInfo(CKartexLink& link, std::string_view call, ThenText done);

// The stations of a route: split at ",", leading blanks removed.
std::vector<std::string> routeStations(std::string_view route);

// A route appended to a connect script: a new script starts with "**" and
// the first station; an existing one goes on from where its last route
// ended, so the new route's first station is left out. Each station adds
// "c STATION" and "**waitfor connected", each line ending in CR LF.
// Stations come from another program: control characters are removed (a
// CR would start a script line of its own), empty stations are skipped,
// and each is cut to 80 characters.
std::string appendRouteToScript(std::string_view script, std::string_view route);

}  // namespace norva

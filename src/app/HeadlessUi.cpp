// HeadlessUi: the user interface of a station without a screen.
#include "app/HeadlessUi.h"

#include "hostmode/Tnc.h"
#include "platform/Cp437.h"

namespace norva {

namespace {

std::string slotLabel(int slot) {
    return "#" + std::to_string(slot) + " [" + std::to_string(tncOfSlot(slot)) + "/" +
           std::to_string(channelOfSlot(slot)) + "]";
}

const char* fieldName(StatusField f) {
    switch (f) {
        case StatusField::TncChannel: return "channel";
        case StatusField::DefaultNode: return "node";
        case StatusField::LinkState: return "link";
        case StatusField::Counters: return "counters";
        case StatusField::Buffers: return "Buf";
        case StatusField::Qrg: return "Freq.";
        case StatusField::Clock: return "clock";
        case StatusField::Date: return "date";
    }
    return "?";
}

}  // namespace

void HeadlessUi::note(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::fprintf(err_, "%s\n", text.c_str());
    std::fflush(err_);
}

void HeadlessUi::statusMessage(std::string_view text) {
    if (text.empty()) return;
    note("status: " + std::string(text));
}

void HeadlessUi::messageBox(std::string_view caption, std::string_view text) {
    note("*** " + std::string(caption) + ": " + std::string(text));
}

bool HeadlessUi::ask(std::string_view caption, std::string_view text, std::string_view, bool*) {
    messageBox(caption, text);
    return true;
}

void HeadlessUi::windowTitle(int slot, std::string_view title) {
    note("title " + slotLabel(slot) + ": " + std::string(title));
}

void HeadlessUi::statusField(StatusField field, std::string_view text) {
    // The clock ticks every minute; nobody needs that on a console.
    if (field == StatusField::Clock || field == StatusField::Date) return;
    note(std::string("bar ") + fieldName(field) + ": " + std::string(text));
}

void HeadlessUi::channelButton(int slot, std::string_view label) {
    note("button " + slotLabel(slot) + ": " + std::string(label));
}

void HeadlessUi::playSound(std::string_view event, bool) { note("sound: " + std::string(event)); }

void HeadlessUi::connectNotice(int slot) {
    note("*** Verbindung wurde erstellt: " + slotLabel(slot));
}

void HeadlessUi::askBinaryReceive(int slot) {
    note("*** Binärdatei empfangen " + slotLabel(slot) + ": the #BIN# header names a file that cannot be used; " +
         "\":ch " + std::to_string(tncOfSlot(slot)) + "/" + std::to_string(channelOfSlot(slot)) +
         "\" and \":recvbin FILE\" receive it");
}

void HeadlessUi::insertInput(int slot, std::string_view oemBytes) {
    std::string line;
    for (const char c : oemBytes)
        if (c != '\r' && c != '\n') line += c;
    if (!line.empty()) note("input " + slotLabel(slot) + ": " + oemToUtf8(line));
}

void HeadlessUi::openStationFile(std::string_view path) {
    note("*** Stationsdatei " + std::string(path) + ": \":station CALL\" shows it, \":connect CALL\" connects it");
}

void HeadlessUi::emitLine(int slot, int colourClass, const std::string& utf8) {
    std::fprintf(out_, "%s %d: %s\n", slotLabel(slot).c_str(), colourClass, utf8.c_str());
}

void HeadlessUi::appendText(int slot, int colourClass, std::string_view oemBytes) {
    std::lock_guard lock(mutex_);
    auto& [cls, line] = pending_[slot];
    for (const char c : oemBytes) {
        if (c == '\n') continue;
        if (c == '\r') {
            if (!line.empty()) emitLine(slot, cls, oemToUtf8(line));
            line.clear();
            continue;
        }
        line += c;
        cls = colourClass;
    }
    std::fflush(out_);
}

}  // namespace norva

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

void appendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at s[i] (no overlongs, no
// surrogates, at most U+10FFFF); 0 when there is none.
std::size_t sequenceLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) n = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else return 0;
    if (i + n > s.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    return n;
}

// One line of printable UTF-8, as a journal or a terminal shows it: a line
// break becomes a blank, a tab a blank, any other control character its
// Unicode picture (ESC shows as U+241B), so no byte from the air can move a
// cursor, ring a bell or split a record. Bytes that are no UTF-8 become '?'.
std::string printable(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
            out += ' ';
            ++i;
        } else if (c == '\t') {
            out += ' ';
            ++i;
        } else if (c < 0x20) {
            appendUtf8(out, 0x2400 + c);
            ++i;
        } else if (c == 0x7F) {
            appendUtf8(out, 0x2421);
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t n = sequenceLength(utf8, i); n == 0) {
            out += '?';
            ++i;
        } else if (c == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            appendUtf8(out, 0xFFFD);  // a C1 control: terminals act on some of them
            i += n;
        } else {
            out.append(utf8.substr(i, n));
            i += n;
        }
    }
    return out;
}

}  // namespace

void HeadlessUi::note(const std::string& text) {
    const std::string line = printable(text);
    std::lock_guard lock(mutex_);
    std::fprintf(err_, "%s\n", line.c_str());
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
    if (!verbose_) return;
    note("title " + slotLabel(slot) + ": " + std::string(title));
}

void HeadlessUi::statusField(StatusField field, std::string_view text) {
    // The clock ticks every minute; nobody needs that on a console.
    if (!verbose_ || field == StatusField::Clock || field == StatusField::Date) return;
    note(std::string("bar ") + fieldName(field) + ": " + std::string(text));
}

void HeadlessUi::channelButton(int slot, std::string_view label) {
    if (!verbose_) return;
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
    std::fprintf(out_, "%s %d: %s\n", slotLabel(slot).c_str(), colourClass, printable(utf8).c_str());
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

// HeadlessUi: the user interface of a station without a screen.
#include "app/HeadlessUi.h"

#include "hostmode/Tnc.h"
#include "platform/Cp437.h"

namespace norva {

namespace {
std::string slotLabel(int slot) {
    return "[" + std::to_string(tncOfSlot(slot)) + "/" + std::to_string(channelOfSlot(slot)) + "]";
}
}  // namespace

void HeadlessUi::statusMessage(std::string_view text) {
    if (text.empty()) return;
    std::lock_guard lock(mutex_);
    std::fprintf(err_, "status: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(err_);
}

void HeadlessUi::messageBox(std::string_view caption, std::string_view text) {
    std::lock_guard lock(mutex_);
    std::fprintf(err_, "*** %.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    std::fflush(err_);
}

bool HeadlessUi::ask(std::string_view caption, std::string_view text, std::string_view,
                     bool*) {
    messageBox(caption, text);
    return true;
}

void HeadlessUi::windowTitle(int slot, std::string_view title) {
    std::lock_guard lock(mutex_);
    std::fprintf(err_, "title %s: %.*s\n", slotLabel(slot).c_str(), static_cast<int>(title.size()),
                 title.data());
    std::fflush(err_);
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
